// Draws the program's icon: a blue tile with three bars of a statistics chart.
// It writes the window icon, Zorcfg16.ico with a 16 and a 32 pixel image, and,
// given an icon theme folder, the same picture for the desktop's menu:
// <folder>/NxN/apps/zorcfg.png for N = 16, 32, 48, 64 and 128, and
// <folder>/scalable/apps/zorcfg.svg.
//   zor_mkicon <output.ico> [<icon theme folder>]
#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <cstdio>

namespace {

// The picture on a square of side s, shared by the bitmaps and the SVG file.
const QColor TileTop(0x2F, 0x6F, 0xC4);
const QColor TileBottom(0x16, 0x3A, 0x78);
const QColor BarColours[] = {QColor(0xF2, 0x4C, 0x3D), QColor(0x3C, 0xC8, 0x5A),
                             QColor(0xFF, 0xD2, 0x3F)};
const qreal BarHeights[] = {0.35, 0.6, 0.45};

QRectF tileOf(qreal s)
{
    return QRectF(0.5, 0.5, s - 1, s - 1);
}

QRectF barOf(qreal s, int i)
{
    const qreal width = s * 0.18;
    const qreal x = s * 0.17 + i * (width + s * 0.07);
    const qreal h = s * BarHeights[i];
    return QRectF(x, s * 0.82 - h, width, h);
}

QRectF baseOf(qreal s)
{
    return QRectF(s * 0.12, s * 0.82, s * 0.76, qMax<qreal>(1, s / 16));
}

QImage drawIcon(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, TileTop);
    tile.setColorAt(1, TileBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(tileOf(s), s / 5, s / 5);
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(BarColours[i]);
        painter.drawRect(barOf(s, i));
    }
    painter.setBrush(QColor(0xFF, 0xFF, 0xFF));
    painter.drawRect(baseOf(s));
    return image;
}

QString svgNumber(qreal value)
{
    return QString::number(value, 'g', 6);
}

QString svgRect(const QRectF& rect, const QString& fill, qreal radius = 0)
{
    QString text = QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"")
                       .arg(svgNumber(rect.x()), svgNumber(rect.y()), svgNumber(rect.width()),
                            svgNumber(rect.height()));
    if (radius > 0)
        text += QStringLiteral(" rx=\"%1\"").arg(svgNumber(radius));
    return text + QStringLiteral(" fill=\"%1\"/>\n").arg(fill);
}

QByteArray drawSvg()
{
    const qreal s = 128;
    QString svg =
        QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                       "viewBox=\"0 0 %1 %1\">\n"
                       "  <linearGradient id=\"tile\" gradientUnits=\"userSpaceOnUse\" "
                       "x1=\"0\" y1=\"0\" x2=\"0\" y2=\"%1\">\n"
                       "    <stop offset=\"0\" stop-color=\"%2\"/>\n"
                       "    <stop offset=\"1\" stop-color=\"%3\"/>\n"
                       "  </linearGradient>\n")
            .arg(svgNumber(s), TileTop.name(), TileBottom.name());
    svg += svgRect(tileOf(s), QStringLiteral("url(#tile)"), s / 5);
    for (int i = 0; i < 3; ++i)
        svg += svgRect(barOf(s, i), BarColours[i].name());
    svg += svgRect(baseOf(s), QStringLiteral("#ffffff"));
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
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

QByteArray icoOf(const QList<int>& sides)
{
    QList<QByteArray> images;
    for (int side : sides)
        images.append(bitmapOf(drawIcon(side)));
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
    return ico;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
        file.write(bytes) == bytes.size() && file.flush())
        return true;
    std::fprintf(stderr, "zor_mkicon: cannot write %s\n", qPrintable(path));
    return false;
}

// The menu's icons, in the layout of an icon theme.
bool writeThemeIcons(const QString& folder)
{
    for (int side : {16, 32, 48, 64, 128}) {
        const QString path =
            QStringLiteral("%1/%2x%2/apps/zorcfg.png").arg(folder, QString::number(side));
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !drawIcon(side).save(&buffer, "PNG") ||
            !writeFile(path, png))
            return false;
    }
    return writeFile(folder + QStringLiteral("/scalable/apps/zorcfg.svg"), drawSvg());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: zor_mkicon <output.ico> [<icon theme folder>]\n");
        return 2;
    }
    if (!writeFile(QString::fromLocal8Bit(argv[1]), icoOf({16, 32})))
        return 1;
    if (argc == 3 && !writeThemeIcons(QString::fromLocal8Bit(argv[2])))
        return 1;
    return 0;
}
