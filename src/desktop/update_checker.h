#pragma once

#include <QObject>
#include <QString>

#include "common/app_paths.h"

class QProcess;

namespace qm::desktop {

/// What `quillmere update check --json` found.
struct UpdateOutcome {
  enum class State { available, upToDate, notFromPackage, failed };
  State state = State::failed;
  QString installed;
  QString candidate;
  QString program;
  bool buildTree = false;
  QString problem;
};

/// Reads the JSON line of `quillmere update check --json`; anything else is
/// a failure that says what was received.
UpdateOutcome parseUpdateOutcome(const QByteArray& output);

/// The title and text the window shows for an outcome, in the user's language.
QString updateOutcomeText(const UpdateOutcome& outcome);

/// Help ▸ Check for Updates and the daily check at start. It asks the
/// package manager through `quillmere update check` in a QProcess, so that
/// APT never holds up the window; it never installs anything.
class UpdateChecker : public QObject {
  Q_OBJECT
 public:
  UpdateChecker(QString program, const AppPaths& paths, QObject* parent = nullptr);

  /// Starts a check unless one is running; `finished` follows.
  void check();
  bool isChecking() const { return process_ != nullptr; }

  /// With the `checkForUpdatesAtStart` setting on and no check in the last
  /// day: starts one, and remembers when. Returns whether it started.
  bool checkIfDue(bool settingOn);

 Q_SIGNALS:
  void finished(const qm::desktop::UpdateOutcome& outcome);

 private:
  QString program_;
  AppPaths paths_;
  QProcess* process_ = nullptr;
};

}  // namespace qm::desktop
