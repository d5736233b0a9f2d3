// The Japanese Gothic faces of the window, taken from what is installed.
#pragma once

#include <QFont>

namespace vorn::gui {

// The fixed-pitch Gothic of the window's fields, captions and buttons.
QFont WindowFont();
// The proportional Gothic of the pictures and the comment fields.
QFont ProportionalFont();

}  // namespace vorn::gui
