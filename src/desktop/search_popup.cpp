#include "desktop/search_popup.h"

namespace qm::desktop {

SearchPopup::SearchPopup(DesktopContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {}

SearchPopup::~SearchPopup() = default;

void SearchPopup::popUp() {
  show();
}

}  // namespace qm::desktop
