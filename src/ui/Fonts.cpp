#include "Fonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

namespace {
const QString DesignedFace = QStringLiteral("ＭＳ Ｐゴシック");
const QString DesignedFaceLatin = QStringLiteral("MS PGothic");
const QString FittingFace = QStringLiteral("IPAPGothic");
} // namespace

QFont Fonts::gothic(double pointSize)
{
    QFont font;
    font.setFamilies({DesignedFace, DesignedFaceLatin, FittingFace, QStringLiteral("DejaVu Sans"),
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

bool Fonts::addBundled(const QString& folder)
{
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(DesignedFace) || installed.contains(DesignedFaceLatin) ||
        installed.contains(FittingFace))
        return false;
    const QString file = folder + QStringLiteral("/ipagp.ttf");
    return QFileInfo::exists(file) && QFontDatabase::addApplicationFont(file) >= 0;
}
