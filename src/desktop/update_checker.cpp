#include "desktop/update_checker.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "desktop/window_state.h"

namespace qm::desktop {

namespace {

constexpr auto kLastCheckKey = "updates/lastCheck";
constexpr qint64 kSecondsBetweenChecks = 24 * 60 * 60;

}  // namespace

UpdateOutcome parseUpdateOutcome(const QByteArray& output) {
  UpdateOutcome outcome;
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(output.trimmed(), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) {
    outcome.problem = QString::fromUtf8(output.trimmed().left(200));
    return outcome;
  }
  const QJsonObject object = document.object();
  const QString state = object.value(QStringLiteral("state")).toString();
  if (state == QLatin1String("available"))
    outcome.state = UpdateOutcome::State::available;
  else if (state == QLatin1String("up-to-date"))
    outcome.state = UpdateOutcome::State::upToDate;
  else if (state == QLatin1String("not-from-package"))
    outcome.state = UpdateOutcome::State::notFromPackage;
  outcome.installed = object.value(QStringLiteral("installed")).toString();
  outcome.candidate = object.value(QStringLiteral("candidate")).toString();
  outcome.program = object.value(QStringLiteral("program")).toString();
  outcome.buildTree = object.value(QStringLiteral("buildTree")).toBool();
  outcome.problem = object.value(QStringLiteral("problem")).toString();
  return outcome;
}

QString updateOutcomeText(const UpdateOutcome& outcome) {
  switch (outcome.state) {
    case UpdateOutcome::State::available:
      return UpdateChecker::tr(
                 "Quillmere %1 is available (this is %2). Install it from the Updates of "
                 "your software centre, or in a terminal with:\n\nsudo apt install quillmere")
          .arg(outcome.candidate, outcome.installed);
    case UpdateOutcome::State::upToDate:
      return UpdateChecker::tr("Quillmere %1 is the newest version available.")
          .arg(outcome.installed);
    case UpdateOutcome::State::notFromPackage:
      if (outcome.buildTree)
        return UpdateChecker::tr(
                   "This Quillmere runs from a build tree (%1), not from the package. Update "
                   "it in its source folder with:\n\ngit pull\nbash scripts/run.sh")
            .arg(outcome.program);
      return UpdateChecker::tr(
                 "This Quillmere (%1) was not installed from the package; update it the way "
                 "it was installed.")
          .arg(outcome.program);
    case UpdateOutcome::State::failed:
      break;
  }
  return UpdateChecker::tr("Quillmere could not ask the package manager for updates: %1")
      .arg(outcome.problem);
}

UpdateChecker::UpdateChecker(QString program, const AppPaths& paths, QObject* parent)
    : QObject(parent), program_(std::move(program)), paths_(paths) {}

void UpdateChecker::check() {
  if (process_) return;
  process_ = new QProcess(this);
  process_->setProgram(program_);
  process_->setArguments(
      {QStringLiteral("update"), QStringLiteral("check"), QStringLiteral("--json")});
  process_->setStandardInputFile(QProcess::nullDevice());
  connect(process_, &QProcess::finished, this, [this](int, QProcess::ExitStatus) {
    QProcess* process = std::exchange(process_, nullptr);
    UpdateOutcome outcome = parseUpdateOutcome(process->readAllStandardOutput());
    if (outcome.state == UpdateOutcome::State::failed && outcome.problem.isEmpty())
      outcome.problem = QString::fromUtf8(process->readAllStandardError().trimmed());
    process->deleteLater();
    Q_EMIT finished(outcome);
  });
  connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    QProcess* process = std::exchange(process_, nullptr);
    UpdateOutcome outcome;
    outcome.problem = tr("%1 could not be started.").arg(program_);
    process->deleteLater();
    Q_EMIT finished(outcome);
  });
  process_->start();
}

bool UpdateChecker::checkIfDue(bool settingOn) {
  if (!settingOn || process_) return false;
  const auto state = rememberedState(paths_);
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  const qint64 last = state->value(QLatin1String(kLastCheckKey), 0).toLongLong();
  if (last > 0 && now - last < kSecondsBetweenChecks && now >= last) return false;
  state->setValue(QLatin1String(kLastCheckKey), now);
  state->sync();
  check();
  return true;
}

}  // namespace qm::desktop
