#pragma once

// The window fonts the program's layout names, mapped once to families that exist here.

#include <QFont>
#include <QString>

namespace brenvik {

// A font of the named family ("MS Shell Dlg 2", "Tahoma", "Verdana") at a point size.
QFont uiFont(const QString& family, qreal points, bool bold = false);
// The same, sized in pixels (for designs that give a text height in pixels).
QFont uiPixelFont(const QString& family, int pixels, bool bold = false);

} // namespace brenvik
