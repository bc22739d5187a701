#pragma once
#include <QString>

namespace orbiqa {

/// Draws the port chooser, filled with a sample of ports and one of them chosen, into a PNG.
/// Needs a QApplication (the offscreen platform will do). Returns false when the file could not
/// be written.
bool RenderPortChooser(const QString& path);

}  // namespace orbiqa
