#include "views/Artwork.h"

#include <QApplication>
#include <QImage>
#include <QtTest>

#include <utility>
#include <vector>

namespace {

struct NamedIcon {
    const char* name;
    QIcon icon;
    std::vector<QSize> sizes;
};

std::vector<NamedIcon> AllIcons() {
    using namespace Artwork;
    const QSize small(16, 16);
    const QSize large(32, 32);
    std::vector<NamedIcon> icons = {
        {"application", applicationIcon(), {small, large, QSize(48, 48), QSize(64, 64)}},
        {"kind address", kindIcon(0), {small, large}},
        {"kind group", kindIcon(1), {small, large}},
        {"kind separator", kindIcon(2), {small, large}},
    };
    const char* toolbarNames[] = {"open",          "save",      "delete",       "properties",
                                  "move up",       "move down", "insert group", "insert separator",
                                  "insert address"};
    for (int image = 0; image < toolbarImageCount; ++image) {
        icons.push_back({toolbarNames[image],
                         toolbarIcon(static_cast<ToolbarImage>(image)),
                         {toolbarImageSize}});
    }
    return icons;
}

bool HasVisiblePixels(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) != 0)
                return true;
        }
    }
    return false;
}

// Pixels of an image as straight ARGB, so that two images compare by what they show.
QImage Pixels(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void iconsCarryEverySizeAtBothScales_data() {
        QTest::addColumn<QIcon>("icon");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("scale");
        for (const NamedIcon& named : AllIcons()) {
            for (const QSize& size : named.sizes) {
                for (qreal scale : {1.0, 2.0}) {
                    QTest::addRow("%s %dx%d at %gx", named.name, size.width(), size.height(), scale)
                        << named.icon << size << scale;
                }
            }
        }
    }

    // A missing image shows as a blank or, at scale 2, a blurred enlargement of the small one:
    // the icon engine never enlarges, so a missing double-size image gives too few pixels.
    void iconsCarryEverySizeAtBothScales() {
        QFETCH(QIcon, icon);
        QFETCH(QSize, size);
        QFETCH(qreal, scale);
        const QPixmap pixmap = icon.pixmap(size, scale);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), size * scale);
        QCOMPARE(pixmap.devicePixelRatio(), scale);
        QVERIFY(HasVisiblePixels(pixmap.toImage()));
    }

    void selectedIconsAreNotTinted_data() { iconsCarryEverySizeAtBothScales_data(); }

    // The style tints an icon's normal image with the highlight colour for a selected row
    // unless the icon has an image of its own for that mode.
    void selectedIconsAreNotTinted() {
        QFETCH(QIcon, icon);
        QFETCH(QSize, size);
        QFETCH(qreal, scale);
        QCOMPARE(Pixels(icon.pixmap(size, scale, QIcon::Selected)),
                 Pixels(icon.pixmap(size, scale, QIcon::Normal)));
    }

    // A scaled screen gets the double-size drawings; the caller builds its icons from these.
    void treeImagesHaveTheirSizeForTheScreen() {
        const qreal scale = qApp->devicePixelRatio() > 1.0 ? 2.0 : 1.0;
        for (int image = 0; image < Artwork::treeImageCount; ++image) {
            const QPixmap pixmap = Artwork::treeImage(static_cast<Artwork::TreeImage>(image));
            QVERIFY2(!pixmap.isNull(), qPrintable(QString::number(image)));
            QCOMPARE(pixmap.deviceIndependentSize().toSize(), Artwork::treeImageSize);
            QCOMPARE(pixmap.devicePixelRatio(), scale);
            QVERIFY(HasVisiblePixels(pixmap.toImage()));
        }
    }

    // Two images that look the same point to a name mixed up between files or enumerators.
    void everyImageIsDistinct() {
        std::vector<std::pair<QString, QImage>> images;
        for (int image = 0; image < Artwork::treeImageCount; ++image) {
            images.emplace_back(QStringLiteral("tree %1").arg(image),
                                Pixels(Artwork::treeImage(static_cast<Artwork::TreeImage>(image))));
        }
        for (const NamedIcon& named : AllIcons()) {
            for (const QSize& size : named.sizes) {
                images.emplace_back(QStringLiteral("%1 %2").arg(named.name).arg(size.width()),
                                    Pixels(named.icon.pixmap(size, 1.0)));
            }
        }
        for (size_t i = 0; i < images.size(); ++i) {
            for (size_t j = i + 1; j < images.size(); ++j) {
                QVERIFY2(images[i].second != images[j].second,
                         qPrintable(images[i].first + " equals " + images[j].first));
            }
        }
    }

    void kindsOutsideTheThreeHaveNoIcon() {
        QVERIFY(Artwork::kindIcon(-1).isNull());
        QVERIFY(Artwork::kindIcon(3).isNull());
        QVERIFY(!Artwork::kindIcon(2).isNull());
    }
};

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
