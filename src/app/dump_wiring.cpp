#include "app/dump_handlers.h"
#include "app/segment_list.h"
#include "app/wiring.h"

namespace vorn {

void WireDumpHandlers(AppState& app) {
  window::WindowModel& form = app.form;
  form.DMPFUP.onClick = [&app] { DMPFUP_Click(app); };
  form.DMPUP.onClick = [&app] { DMPUP_Click(app); };
  form.DMPDOWN.onClick = [&app] { DMPDOWN_Click(app); };
  form.DMPFDOWN.onClick = [&app] { DMPFDOWN_Click(app); };
  form.onDmpClick = [&app](int index) { DMP_Click(app, index); };
  form.DMPI.onLostFocus = [&app] { DMPI_LostFocus(app); };
  form.UNDO.onClick = [&app] { UNDO_Click(app); };
  form.REDO.onClick = [&app] { REDO_Click(app); };
  form.LOG.onClick = [&app](int index) { LOG_Click(app, index); };
  form.LOG.onDblClick = [&app](int index) { LOG_DblClick(app, index); };
}

}  // namespace vorn
