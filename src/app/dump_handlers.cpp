#include "app/dump_handlers.h"

#include "app/display_state.h"
#include "dump/dump_view.h"
#include "dump/editing.h"

namespace vorn {

void DMPFUP_Click(AppState& app) {
  StepDumpPage(app.file, app.dump, PageStep::FastUp, app.form);
}

void DMPUP_Click(AppState& app) {
  StepDumpPage(app.file, app.dump, PageStep::Up, app.form);
}

void DMPDOWN_Click(AppState& app) {
  StepDumpPage(app.file, app.dump, PageStep::Down, app.form);
}

void DMPFDOWN_Click(AppState& app) {
  StepDumpPage(app.file, app.dump, PageStep::FastDown, app.form);
}

bool CommitDumpInput(AppState& app) {
  DumpContext ctx{app.file, app.dump, app.form, app.dialogs};
  const EditOutcome outcome = StoreDumpInput(ctx);
  if (outcome == EditOutcome::Stored) {
    SetUnsaved(app, true);
    PostEditReset(app.form, app.analysis, app.dump);
  }
  return outcome != EditOutcome::Rejected;
}

void DMPI_LostFocus(AppState& app) {
  CommitDumpInput(app);
}

void DMP_Click(AppState& app, int index) {
  if (index < 0 || index >= kDumpCells) return;
  // The input field takes the focus with its two characters selected, so that two
  // typed digits replace the byte: after a selected cell, and after refused input,
  // which is to be corrected there.
  if (!CommitDumpInput(app) || SelectDumpCell(app.file, app.dump, app.form, index))
    app.form.DMPI.FocusSelectingAll();
}

}  // namespace vorn
