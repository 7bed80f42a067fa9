// Writes the program's window icon, Zorcfg16.ico, with a 16 and a 32 pixel
// image: a blue tile with three bars of a statistics chart.
//   zor_mkicon <output.ico>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <cstdio>

namespace {

QImage drawIcon(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x2F, 0x6F, 0xC4));
    tile.setColorAt(1, QColor(0x16, 0x3A, 0x78));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s / 5, s / 5);
    const QColor bars[] = {QColor(0xF2, 0x4C, 0x3D), QColor(0x3C, 0xC8, 0x5A),
                           QColor(0xFF, 0xD2, 0x3F)};
    const qreal heights[] = {0.35, 0.6, 0.45};
    const qreal width = s * 0.18;
    for (int i = 0; i < 3; ++i) {
        const qreal x = s * 0.17 + i * (width + s * 0.07);
        const qreal h = s * heights[i];
        painter.setBrush(bars[i]);
        painter.drawRect(QRectF(x, s * 0.82 - h, width, h));
    }
    painter.setBrush(QColor(0xFF, 0xFF, 0xFF));
    painter.drawRect(QRectF(s * 0.12, s * 0.82, s * 0.76, qMax<qreal>(1, s / 16)));
    return image;
}

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// One icon image as a 32-bit bitmap: the header, the pixels bottom-up, then
// the one-bit mask (all zero: the alpha channel decides).
QByteArray bitmapOf(const QImage& image)
{
    const int side = image.width();
    QByteArray out;
    put32(out, 40);
    put32(out, quint32(side));
    put32(out, quint32(side * 2));
    put16(out, 1);
    put16(out, 32);
    for (int i = 0; i < 6; ++i)
        put32(out, 0);
    for (int y = side - 1; y >= 0; --y) {
        for (int x = 0; x < side; ++x) {
            const QRgb pixel = image.pixel(x, y);
            out.append(char(qBlue(pixel)));
            out.append(char(qGreen(pixel)));
            out.append(char(qRed(pixel)));
            out.append(char(qAlpha(pixel)));
        }
    }
    const int maskRow = ((side + 31) / 32) * 4;
    out.append(QByteArray(maskRow * side, '\0'));
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zor_mkicon <output.ico>\n");
        return 2;
    }
    const QList<QByteArray> images = {bitmapOf(drawIcon(16)), bitmapOf(drawIcon(32))};
    const int sides[] = {16, 32};
    QByteArray ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        ico.append(char(sides[i]));
        ico.append(char(sides[i]));
        ico.append('\0');
        ico.append('\0');
        put16(ico, 1);
        put16(ico, 32);
        put32(ico, quint32(images[i].size()));
        put32(ico, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& image : images)
        ico.append(image);
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(ico) != ico.size()) {
        std::fprintf(stderr, "zor_mkicon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
