// Draws the program's built-in pictures at build time:
//   logo.png     the "LOGO" bitmap of the splash window and the About box
//   icon.png     the application icon (the logo's mark alone)
//   padlock.png  the picture of the login dialog
//   mklogo <output folder>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

const QColor Night(0x0B, 0x23, 0x45);
const QColor Ocean(0x12, 0x5E, 0x8A);
const QColor Lagoon(0x1F, 0xB5, 0xA8);
const QColor Amber(0xFF, 0xB3, 0x2E);

// The mark: a headset's arc over three call bars, in a round badge.
void drawMark(QPainter& p, const QRectF& box)
{
    QRadialGradient glow(box.center(), box.width() / 2);
    glow.setColorAt(0, Lagoon);
    glow.setColorAt(1, Ocean);
    p.setPen(QPen(Qt::white, box.width() / 28));
    p.setBrush(glow);
    p.drawEllipse(box.adjusted(2, 2, -2, -2));

    const qreal u = box.width() / 16;
    const QPointF c = box.center();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, u * 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(c.x() - 5 * u, c.y() - 5.5 * u, 10 * u, 10 * u), 20 * 16, 140 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(c.x() - 5.6 * u, c.y() - 1.2 * u, 2 * u, 3.6 * u), u / 2, u / 2);
    p.drawRoundedRect(QRectF(c.x() + 3.6 * u, c.y() - 1.2 * u, 2 * u, 3.6 * u), u / 2, u / 2);
    const qreal heights[] = {2.2, 3.6, 5.0};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i == 2 ? Amber : QColor(Qt::white));
        const qreal h = heights[i] * u;
        p.drawRoundedRect(QRectF(c.x() - 2.1 * u + i * 1.5 * u, c.y() + 4.6 * u - h, 1.1 * u, h),
                          u / 3, u / 3);
    }
}

QImage logo()
{
    QImage image(420, 140, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, image.width(), image.height());
    sky.setColorAt(0, Night);
    sky.setColorAt(1, Ocean);
    QPainterPath card;
    card.addRoundedRect(QRectF(image.rect()).adjusted(1, 1, -1, -1), 18, 18);
    p.fillPath(card, sky);
    p.setPen(QPen(Lagoon, 2));
    p.drawPath(card);

    drawMark(p, QRectF(18, 18, 104, 104));

    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(64);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 6);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRectF(142, 12, 270, 78), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("ZOR"));

    QFont line(QStringLiteral("DejaVu Sans"));
    line.setPixelSize(21);
    line.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(line);
    p.setPen(Lagoon.lighter(140));
    p.drawText(QRectF(146, 90, 270, 34), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("CONFIGURATION"));
    p.setPen(QPen(Amber, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(146, 88), QPointF(398, 88));
    return image;
}

QImage icon()
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawMark(p, QRectF(0, 0, 64, 64));
    return image;
}

QImage padlock()
{
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Night, 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(13, 5, 22, 26), 0, 180 * 16);
    p.drawLine(QPointF(13, 18), QPointF(13, 22));
    p.drawLine(QPointF(35, 18), QPointF(35, 22));
    QLinearGradient body(0, 22, 0, 46);
    body.setColorAt(0, Amber);
    body.setColorAt(1, Amber.darker(130));
    p.setPen(QPen(Night, 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(7, 21, 34, 24), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(Night);
    p.drawEllipse(QRectF(21, 28, 6, 6));
    p.drawRect(QRectF(22.5, 32, 3, 7));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mklogo <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "mklogo: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool saved = logo().save(folder.filePath(QStringLiteral("logo.png"))) &&
                       icon().save(folder.filePath(QStringLiteral("icon.png"))) &&
                       padlock().save(folder.filePath(QStringLiteral("padlock.png")));
    if (!saved) {
        std::fprintf(stderr, "mklogo: cannot write the pictures in %s\n", argv[1]);
        return 1;
    }
    return 0;
}
