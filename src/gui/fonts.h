// The Japanese Gothic faces of the window, taken from what is installed.
#pragma once

#include <QFont>
#include <QStringList>

namespace vorn::gui {

// The fixed-pitch Gothic of the window's fields, captions and buttons.
QFont WindowFont();
// The proportional Gothic of the pictures and the comment fields.
QFont ProportionalFont();

// The first of wanted that is installed; otherwise any installed face that
// covers Japanese; otherwise the first wanted name (Qt then substitutes).
QString PickFamily(const QStringList& wanted);

}  // namespace vorn::gui
