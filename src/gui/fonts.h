// The Japanese Gothic faces of the window, taken from what is installed.
#pragma once

#include <QFont>

namespace vorn::gui {

// The fixed-pitch Gothic of the window's fields, captions and buttons.
QFont WindowFont();
// The proportional Gothic of the pictures and the comment fields.
QFont ProportionalFont();

// Lines of text packed as the cells of the layout need them. The Japanese faces
// reserve far more height per line than a line needs (Noto Sans CJK: 17 pixels at
// 12), so that a field drawn for two lines of a 12-pixel face would hold only one
// and a half.
struct LineMetrics {
  int step = 0;    // from one line's top to the next's
  int ascent = 0;  // from a line's top to its baseline
};
LineMetrics PackedLines(const QFont& font);

}  // namespace vorn::gui
