#pragma once

#include <QLocale>
#include <QString>
#include <string_view>

#include "settings/settings_enums.h"

class QCoreApplication;

namespace qm::desktop {

/// The locale the window follows for `language`: French or English in the
/// session's region when it speaks that language (else France or the United
/// States), and the session's own locale for `system`.
QLocale localeFor(AppLanguage language, const QLocale& session = QLocale::system());

/// Makes the window speak `language`: dates and numbers follow its locale
/// (`QLocale::setDefault`), and a French locale installs the window's French
/// catalogue and Qt's own (standard buttons, dialogs) when it is installed; any
/// other the English catalogue of the texts with a count. Returns the locale chosen.
QLocale applyLanguage(QCoreApplication& app, AppLanguage language);

/// A text the core libraries give in English (a filter, an ordering, a scope,
/// a format), in the window's language when the catalogue has it.
QString coreText(std::string_view english);

}  // namespace qm::desktop
