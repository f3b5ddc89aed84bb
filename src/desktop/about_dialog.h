#pragma once

#include <QDialog>

#include "common/app_paths.h"

class QLabel;

namespace qm::desktop {

/// Help ▸ About: the version and where Quillmere keeps its files (the store,
/// the settings and the log), with the paths selectable for copying.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(const AppPaths& paths, QWidget* parent);

  QLabel* textLabel() const { return text_; }

 private:
  QLabel* text_ = nullptr;
};

}  // namespace qm::desktop
