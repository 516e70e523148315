#include "wizard/WindowFont.h"

#include <QFontDatabase>

namespace kw {

namespace {

/// Tahoma where it is installed, else the system's own sans-serif.
QString WindowFontFamily() {
    const QString tahoma = QStringLiteral("Tahoma");
    if (!QFontDatabase::hasFamily(tahoma))
        AddPlatformFonts();
    return QFontDatabase::hasFamily(tahoma)
               ? tahoma
               : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

} // namespace

QFont WindowFont(QFont::Weight weight) {
    QFont font(WindowFontFamily());
    font.setPointSizeF(8.25);
    font.setWeight(weight);
    return font;
}

} // namespace kw
