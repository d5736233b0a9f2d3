// Where every element of the main window sits, as data: the window is built by
// walking this table, and the geometry tests read the widgets it produced.
#pragma once

#include <span>

namespace vorn::gui {

enum class Kind {
  Title,          // plain area title, as wide as its text
  Caption,        // bordered grey cell, centred
  Value,          // bordered white cell, centred
  ValueLeft,      // bordered white cell, left-aligned, one line
  ValueRight,     // bordered cell, right-aligned (the dump's row addresses)
  ValueWrapped,   // bordered white cell, left-aligned, wraps over as many whole lines as fit
  ValuePath,      // as ValueWrapped, but what does not fit is left out at the start (Fname)
  Button,         // push button bound to a command
  CaptionButton,  // caption cell that is also a command (LIMAGE)
  Picture,        // picture box bound to a picture
  HiddenPicture,  // picture that exists but is never shown
  HScroll,
  VScroll,
  List,
  Input,  // the one text field
};

// How a field array is laid out: element k sits at column k % perRow, row k / perRow.
struct Grid {
  int count = 1;
  int perRow = 1;
  int stepX = 0;
  int stepY = 0;
  bool zigZag = false;  // element k at the k-th zig-zag position of an 8 x 8 grid
};

struct Placement {
  const char* name;  // the model element ("" for fixed captions and titles)
  Kind kind;
  int x, y, w, h;    // client-area pixels; w = 0 for a title sized by its text
  const char* text;  // fixed text of captions and titles
  Grid grid = {};
};

// The three areas of the main window, in creation (stacking) order.
std::span<const Placement> MainWindowLayout();

// Position of element k of an array placement.
struct Point {
  int x, y;
};
Point GridPosition(const Placement& p, int k);

}  // namespace vorn::gui
