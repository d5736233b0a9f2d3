#include "app/display_state.h"

#include "analysis/message_log.h"

namespace vorn {

void SetImageInvalid(AppState& app, bool invalid) {
  app.ImageInvalid = invalid;
}

void SetUnsaved(AppState& app, bool unsaved) {
  app.Unsaved = unsaved;
}

void SetSaveEnabled(window::WindowModel& form, bool enabled) {
  form.SAVE.enabled = enabled;
}

void SetRepairEnabled(window::WindowModel& form, bool enabled) {
  form.LOCATE.enabled = enabled;
  form.REPAIR.enabled = enabled;
  form.SALVAGE.enabled = enabled;
}

void ResetDisplay(AppState& app) {
  window::WindowModel& form = app.form;
  form.Picture1.Clear();
  form.Picture2.Clear();
  form.Picture3.Clear();
  SetImageInvalid(app, true);
  form.VScroll1.SetMax(0);
  form.VScroll1.SetValue(0);
  form.HScroll1.SetMax(0);
  form.HScroll1.SetValue(0);
  for (window::Label* l :
       {&form.DCV[0], &form.DCV[1], &form.DCV[2], &form.MCUX, &form.MCUY, &form.MCUBIT, &form.MCUBYTE})
    l->text.clear();
  for (window::Command* c : {&form.MCUCHK, &form.BITCHK, &form.UNDO, &form.REDO}) c->enabled = false;
  SetSaveEnabled(form, false);
  SetRepairEnabled(form, false);
  app.dump.UndoStack.Clear();
}

void ClearDecodeFields(window::WindowModel& form, AnalysisState& analysis) {
  for (window::Label* label :
       {&form.DCV[0], &form.DCV[1], &form.DCV[2], &form.MCUX, &form.MCUY, &form.MCUBIT, &form.MCUBYTE})
    label->text.clear();
  form.MCUCHK.enabled = false;
  form.BITCHK.enabled = false;
  SetSaveEnabled(form, false);
  ClearLog(form.LOG, analysis);
}

void PostEditReset(window::WindowModel& form, AnalysisState& analysis, DumpState& dump) {
  ClearDecodeFields(form, analysis);
  form.UNDO.enabled = false;
  form.REDO.enabled = false;
  SetRepairEnabled(form, false);
  dump.UndoStack.Clear();
  dump.RedoStack.Clear();
}

}  // namespace vorn
