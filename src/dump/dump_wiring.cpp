#include "app/wiring.h"
#include "dump/dump_view.h"
#include "dump/editing.h"
#include "dump/segment_list.h"

namespace vorn {

void WireDumpHandlers(AppState& s) {
  window::WindowModel& w = s.w;
  w.DMPFUP.onClick = [&s] { DMPFUP_Click(s); };
  w.DMPUP.onClick = [&s] { DMPUP_Click(s); };
  w.DMPDOWN.onClick = [&s] { DMPDOWN_Click(s); };
  w.DMPFDOWN.onClick = [&s] { DMPFDOWN_Click(s); };
  w.onDmpClick = [&s](int index) { DMP_Click(s, index); };
  w.DMPI.onLostFocus = [&s] { DMPI_LostFocus(s); };
  w.UNDO.onClick = [&s] { UNDO_Click(s); };
  w.REDO.onClick = [&s] { REDO_Click(s); };
  w.LOG.onClick = [&s](int index) { LOG_Click(s, index); };
  w.LOG.onDblClick = [&s](int index) { LOG_DblClick(s, index); };
}

}  // namespace vorn
