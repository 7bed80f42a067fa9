#include "mCustomIcon.h"

#include "Folders.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <cstdio>

namespace {

constexpr int FileNotFound = 53;
constexpr int InvalidPicture = 481;

struct IconError
{
    int number;
    QString description;
};

void trace(const char* routine, const IconError& error)
{
    const QString line = QStringLiteral("Error %1 '%2' occured in mCustomIcon.%3.")
                             .arg(error.number)
                             .arg(error.description, QString::fromLatin1(routine));
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

// The file in the folder, its name compared without regard to case.
QString findFile(const QString& folder, const QString& name)
{
    const QString path = Folders::fileIgnoringCase(folder, name);
    if (!QFileInfo(Folders::localPath(path)).isFile())
        throw IconError{FileNotFound, QStringLiteral("File not found")};
    return path;
}

// The image of the file closest to the size: an exact one when the file has
// it, else the nearest larger (or largest) one scaled.
QImage readImage(const QString& path, int side)
{
    QImageReader reader(Folders::localPath(path));
    QImage best;
    for (int i = 0; i < qMax(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (image.isNull())
            continue;
        const auto distance = [side](const QImage& candidate) {
            const int d = candidate.width() - side;
            return d >= 0 ? d : 10000 - d;
        };
        if (best.isNull() || distance(image) < distance(best))
            best = image;
    }
    if (best.isNull())
        throw IconError{InvalidPicture, QStringLiteral("Invalid picture")};
    if (best.width() != side || best.height() != side)
        best = best.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return best;
}

QPointer<QWidget>& icon32Holder()
{
    static QPointer<QWidget> holder;
    return holder;
}

} // namespace

namespace mCustomIcon {

QString CustomizationDefaultPath()
{
    return Folders::programFolder();
}

void CustomizationReadIcon(QWidget* window, const QString& name, const QString& folder, qint16 size)
{
    try {
        const QString where = folder.isEmpty() ? CustomizationDefaultPath() : folder;
        const int side = size == SmallIcon ? 16 : 32;
        const QImage image = readImage(findFile(where, name), side);
        // One image per window: no separate small icon is kept.
        window->setWindowIcon(QIcon(QPixmap::fromImage(image)));
    } catch (const IconError& error) {
        trace("CustomizationReadIcon", error);
    }
}

void CustomizationSetFrmIcon(QWidget* target, QWidget* source)
{
    if (!target || !source) {
        trace("CustomizationSetFrmIcon", {91, QStringLiteral("Object variable not set")});
        return;
    }
    target->setWindowIcon(source->windowIcon());
}

QWidget* CustomizationTopOwner(QWidget* window)
{
    QWidget* result = nullptr;
    QWidget* owner = window && window->parentWidget() ? window->parentWidget()->window() : nullptr;
    while (owner) {
        result = owner;
        owner = owner->parentWidget() ? owner->parentWidget()->window() : nullptr;
    }
    return result;
}

void CustomizationSetOwnerIcon(QWidget* window)
{
    if (!window)
        return;
    const QIcon big = window->windowIcon();
    if (QWidget* owner = CustomizationTopOwner(window)) {
        owner->setWindowIcon(big);
        return;
    }
    // No owner window here: the application's icon names the program in the
    // taskbar, with the desktop file that carries the same name.
    QApplication::setWindowIcon(big);
    if (QGuiApplication::desktopFileName().isEmpty())
        QGuiApplication::setDesktopFileName(QStringLiteral("ZorCFG"));
}

void CustomizationAddLargeIcon(QWidget* window, QWidget* holder)
{
    QIcon icon = window->windowIcon();
    if (icon.availableSizes().contains(QSize(32, 32)))
        return;
    icon.addPixmap(holder->windowIcon().pixmap(QSize(32, 32), 1.0));
    window->setWindowIcon(icon);
}

QWidget* frmIcon32()
{
    QPointer<QWidget>& holder = icon32Holder();
    if (!holder) {
        holder = new QWidget(nullptr, Qt::Window);
        holder->setObjectName(QStringLiteral("frmIcon32"));
    }
    return holder;
}

void unloadIcon32()
{
    delete icon32Holder().data();
}

bool icon32Loaded()
{
    return !icon32Holder().isNull();
}

QIcon designedIcon()
{
    QIcon icon;
    for (const int side : {16, 32}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x5A, 0x62, 0x70));
        painter.drawRoundedRect(QRectF(0, 0, side, side), side / 6.0, side / 6.0);
        painter.setBrush(QColor(0xE8, 0xEA, 0xED));
        const qreal bar = side / 8.0;
        for (int i = 0; i < 3; ++i)
            painter.drawRect(QRectF(side * 0.2, side * (0.25 + 0.2 * i), side * 0.6, bar));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace mCustomIcon
