#include "desktop/contact_detail_view.h"

namespace qm::desktop {

ContactDetailView::ContactDetailView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {}

void ContactDetailView::showContact(const std::optional<Uuid>& contactID) {
  contactID_ = contactID;
  reload();
}

void ContactDetailView::reload() {}

}  // namespace qm::desktop
