#include "PrintFonts.h"

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
