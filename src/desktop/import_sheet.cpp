#include "desktop/import_sheet.h"

namespace qm::desktop {

ImportSheet::ImportSheet(DesktopContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {}

void ImportSheet::start() {
  show();
}

}  // namespace qm::desktop
