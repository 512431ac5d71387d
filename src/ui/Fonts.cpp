#include "Fonts.h"

#include <QStringList>

QFont Fonts::gothic(double pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Segoe UI")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    // Glyphs fitted to whole pixels, as on the screens the layout was drawn for: the unit texts
    // fill their boxes to the last pixel, and unfitted outlines run one pixel over.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}
