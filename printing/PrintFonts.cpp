#include "PrintFonts.h"

#include "BookFaces.h"

#include <QFontDatabase>
#include <QRawFont>
#include <QStringList>

QFont JapanesePrintFont(qreal pointSize, QFont::Weight weight) {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("Source Han Sans JP"), QStringLiteral("IPAexGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("TakaoGothic"),
                      QStringLiteral("VL Gothic")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    // Japanese text is drawn by a copy of the face that would draw it, so that it reads back
    // from a PDF as printed; the face itself still draws what the copy leaves out.
    const QString copy =
        BookFaceFamily(QRawFont::fromFont(JapaneseFacesOf(font), QFontDatabase::Japanese));
    if (!copy.isEmpty()) {
        QStringList families = font.families();
        families.insert(1, copy);
        font.setFamilies(families);
    }
    return font;
}

QFont JapaneseFacesOf(const QFont& printFont) {
    QFont japanese = printFont;
    japanese.setFamilies(printFont.families().mid(1));
    return japanese;
}

PrintFonts PrintFonts::standard() {
    return {JapanesePrintFont(16, QFont::Bold), JapanesePrintFont(11, QFont::Bold),
            JapanesePrintFont(10), JapanesePrintFont(8)};
}
