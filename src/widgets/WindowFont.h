#pragma once
// The one font family of every window. The windows were designed around "MS Sans Serif" 8 pt;
// where that family is missing (every Linux desktop, newer Windows) its successor
// "Microsoft Sans Serif" is asked for, and then the desktop's own user-interface font, so that
// a window never ends up in an unrelated family that the font matcher happens to pick.
#include <QFont>
#include <QStringList>

namespace orbiqa {

/// The families in order of preference; the last is the platform's general font.
QStringList WindowFontFamilies();

/// The window font at the given size (the windows use 8 pt).
QFont WindowFont(int pointSize);

}  // namespace orbiqa
