#include "common/Fonts.h"

#include <QFontDatabase>

namespace brenvik {

namespace {

// The layout's families are Windows fonts; DejaVu Sans is the closest sans-serif with the same
// role that every Debian desktop has, and Qt falls back further on its own when it is missing.
QString mappedFamily(const QString& family) {
    static const QString sans = QStringLiteral("DejaVu Sans");
    if (family == QLatin1String("MS Shell Dlg 2") || family == QLatin1String("Tahoma") ||
        family == QLatin1String("Verdana"))
        return sans;
    return family;
}

} // namespace

QFont uiFont(const QString& family, qreal points, bool bold) {
    QFont font(mappedFamily(family));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont uiPixelFont(const QString& family, int pixels, bool bold) {
    QFont font(mappedFamily(family));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace brenvik
