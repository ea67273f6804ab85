#include "Artwork.h"

#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include <array>
#include <initializer_list>

// The images live in a static library, whose resource data the linker keeps only when
// something refers to it; Q_INIT_RESOURCE is that reference. It must not sit in a namespace.
static void RegisterArtworkResources() {
    Q_INIT_RESOURCE(artwork);
}

namespace Artwork {
namespace {

// Every image has NAME.png and NAME@2x.png (twice the pixels) under :/artwork/.
QPixmap LoadPixmap(const QString& name, bool doubleSize) {
    static const bool registered = [] {
        RegisterArtworkResources();
        return true;
    }();
    Q_UNUSED(registered);
    const QString path = QStringLiteral(":/artwork/%1%2.png")
                             .arg(name, doubleSize ? QStringLiteral("@2x") : QString());
    QPixmap pixmap(path);
    if (pixmap.isNull())
        qWarning("Artwork: cannot load %s", qUtf8Printable(path));
    // Set here rather than left to the "@2x" in the name, which an environment setting of
    // Qt's can turn off.
    pixmap.setDevicePixelRatio(doubleSize ? 2.0 : 1.0);
    return pixmap;
}

// Without a pixmap of its own for the selected mode, a selected row shows the image tinted
// with the highlight colour.
QIcon IconOf(std::initializer_list<QString> names) {
    QIcon icon;
    for (const QString& name : names) {
        for (bool doubleSize : {false, true}) {
            const QPixmap pixmap = LoadPixmap(name, doubleSize);
            icon.addPixmap(pixmap, QIcon::Normal);
            icon.addPixmap(pixmap, QIcon::Selected);
        }
    }
    return icon;
}

QIcon BuildApplicationIcon() {
    return IconOf({QStringLiteral("app/book-16"), QStringLiteral("app/book-32"),
                   QStringLiteral("app/book-48"), QStringLiteral("app/book-64")});
}

std::array<QPixmap, treeImageCount> BuildTreeImages() {
    // A QPixmap holds one resolution: take the double one when any screen is scaled up.
    const bool doubleSize = qGuiApp->devicePixelRatio() > 1.0;
    auto image = [doubleSize](const char* name) {
        return LoadPixmap(QStringLiteral("tree/") + QLatin1String(name), doubleSize);
    };
    return {image("book-closed"), image("book-open"), image("folder-closed"),
            image("folder-open"), image("post-flag"), image("at-sign")};
}

std::array<QIcon, 3> BuildKindIcons() {
    auto icon = [](const char* kind) {
        const QString name = QStringLiteral("kinds/") + QLatin1String(kind);
        return IconOf({name + QStringLiteral("-16"), name + QStringLiteral("-32")});
    };
    return {icon("address"), icon("group"), icon("separator")};
}

std::array<QIcon, toolbarImageCount> BuildToolbarIcons() {
    auto icon = [](const char* name) {
        return IconOf({QStringLiteral("toolbar/") + QLatin1String(name)});
    };
    return {
        icon("open"),          icon("save"),      icon("delete"),       icon("properties"),
        icon("move-up"),       icon("move-down"), icon("insert-group"), icon("insert-separator"),
        icon("insert-address")};
}

} // namespace

QIcon applicationIcon() {
    static const QIcon icon = BuildApplicationIcon();
    return icon;
}

QPixmap treeImage(TreeImage image) {
    static const std::array<QPixmap, treeImageCount> images = BuildTreeImages();
    return images.at(image);
}

QIcon kindIcon(int kind) {
    static const std::array<QIcon, 3> icons = BuildKindIcons();
    if (kind < 0 || kind >= int(icons.size()))
        return {};
    return icons[kind];
}

QIcon toolbarIcon(ToolbarImage image) {
    static const std::array<QIcon, toolbarImageCount> icons = BuildToolbarIcons();
    return icons.at(image);
}

} // namespace Artwork
