#include "wizard/WindowFont.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>

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

/// How much ink a line of text in this font leaves on white: the sum of the pixels' darkness.
long long Ink(const QFont& font) {
    QImage image(400, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(4, 28, QStringLiteral("Stap 1 van 4 - Locatie van Vondelux bepalen."));
    painter.end();
    long long ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += 255 - qGray(image.pixel(x, y));
    return ink;
}

class Overstrike final : public QProxyStyle {
public:
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                      bool enabled, const QString& text,
                      QPalette::ColorRole role = QPalette::NoRole) const override {
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, role);
        QProxyStyle::drawItemText(painter, rect.translated(1, 0), flags, palette, enabled, text,
                                  role);
    }
};

} // namespace

QFont WindowFont(QFont::Weight weight) {
    QFont font(WindowFontFamily());
    font.setPointSizeF(8.25);
    font.setWeight(weight);
    return font;
}

bool BoldDrawsThin() {
    // A real bold face leaves a third more ink and more; a thin one about as much as regular.
    return Ink(WindowFont(QFont::Bold)) * 10 < Ink(WindowFont(QFont::Normal)) * 12;
}

QStyle* OverstrikeStyle() {
    // Never destroyed: widgets that use it may be destroyed as late as the application.
    static QStyle* style = new Overstrike;
    return style;
}

} // namespace kw
