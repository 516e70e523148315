#include "tools/make-media/Bmp.h"
#include "tools/make-media/LittleEndian.h"

#include "tools/make-media/Wmf.h"

#include <QFont>
#include <QImage>
#include <QPainter>

namespace kw::tools {

namespace {

QColor Colour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

} // namespace

std::string MakeBmp(const std::string& name, const std::string& number, int category, int height) {
    const Rgb rgb = CategoryColour(category);
    QImage image(kThumbWidth, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        QColor light = Colour(rgb);
        light = QColor::fromRgbF(0.82f + 0.18f * light.redF(), 0.82f + 0.18f * light.greenF(),
                                 0.82f + 0.18f * light.blueF());
        p.setPen(QPen(Colour(rgb), 2));
        p.setBrush(light);
        p.drawRoundedRect(QRectF(1.5, 1.5, kThumbWidth - 3, height - 3), 8, 8);

        const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        QFont font("DejaVu Sans");
        font.setBold(true);
        const QRect box(4, 4, kThumbWidth - 8, height - 16);
        for (int px = 11; px >= 6; --px) { // the largest size at which the name fits the frame
            font.setPixelSize(px);
            const QRect need = QFontMetrics(font).boundingRect(
                box, Qt::AlignCenter | Qt::TextWordWrap, text.trimmed());
            if (box.contains(need))
                break;
        }
        p.setFont(font);
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text.trimmed());

        QFont small("DejaVu Sans");
        small.setPixelSize(7);
        p.setFont(small);
        p.setPen(Colour(rgb));
        p.drawText(QRect(0, height - 12, kThumbWidth, 9), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromStdString(number));
    }

    std::string out;
    out.reserve(static_cast<std::size_t>(BmpSize(height)));
    const std::uint32_t pixels = kThumbWidth * height * 4;
    out += "BM";
    PutLittleEndian(out, static_cast<std::uint32_t>(BmpSize(height)), 4);
    PutLittleEndian(out, 0, 4);       // reserved
    PutLittleEndian(out, 14 + 40, 4); // where the pixels begin
    PutLittleEndian(out, 40, 4);      // BITMAPINFOHEADER
    PutLittleEndian(out, kThumbWidth, 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(height), 4); // positive: the bottom row first
    PutLittleEndian(out, 1, 2);                                  // planes
    PutLittleEndian(out, 32, 2);                                 // bits per pixel
    PutLittleEndian(out, 0, 4);                                  // BI_RGB, uncompressed
    PutLittleEndian(out, pixels, 4);
    PutLittleEndian(out, 2835, 4); // 72 pixels to the inch, both ways
    PutLittleEndian(out, 2835, 4);
    PutLittleEndian(out, 0, 4); // no palette
    PutLittleEndian(out, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < kThumbWidth; ++x) {
            out += static_cast<char>(qBlue(row[x]));
            out += static_cast<char>(qGreen(row[x]));
            out += static_cast<char>(qRed(row[x]));
            out += '\0'; // the fourth byte of a BI_RGB pixel is unused
        }
    }
    return out;
}

} // namespace kw::tools
