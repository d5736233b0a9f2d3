#include "analysis/marker_analysis.h"

namespace vorn {
namespace {

template <size_t N>
void Empty(std::array<window::Label, N>& labels) {
  for (window::Label& l : labels) l.text.clear();
}

}  // namespace

void ResetSegmentFields(AppState& app) {
  window::WindowModel& form = app.form;
  for (window::Label* l :
       {&form.APP0LEN, &form.APP0ID,  &form.APP0v1, &form.APP0v2, &form.APP0U,  &form.APP0Xd,
        &form.APP0Yd,  &form.APP0ETC, &form.COMLEN, &form.COM,    &form.DQTLEN, &form.DQTPq,
        &form.DQTTq,   &form.SOF0LEN, &form.SOF0P,  &form.SOF0Y,  &form.SOF0X,  &form.SOF0Nf,
        &form.DRILEN,  &form.DRI,     &form.DHTLEN, &form.DHTTc,  &form.DHTTh,  &form.SOSLEN,
        &form.SOSNs,   &form.SOSSs,   &form.SOSSe,  &form.SOSAh,  &form.SOSAl}) {
    l->text.clear();
  }
  Empty(form.Qtbl);
  Empty(form.SOF0Ci);
  Empty(form.SOF0Hi);
  Empty(form.SOF0Vi);
  Empty(form.SOF0Tqi);
  form.Htbl.Clear();
  Empty(form.SOSCsi);
  Empty(form.SOSTdi);
  Empty(form.SOSTai);

  // What a decode and the investigations showed no longer stands behind the fields.
  form.Picture1.Clear();
  form.Picture2.Clear();
  form.Picture3.Clear();
  app.analysis.ImageInvalid = true;
  form.VScroll1.SetMax(0);
  form.VScroll1.SetValue(0);
  form.HScroll1.SetMax(0);
  form.HScroll1.SetValue(0);
  Empty(form.DCV);
  for (window::Label* l : {&form.MCUX, &form.MCUY, &form.MCUBIT, &form.MCUBYTE}) l->text.clear();
  for (window::Command* c : {&form.MCUCHK, &form.BITCHK, &form.SAVE, &form.UNDO, &form.REDO})
    c->enabled = false;
  // The redo history is left as it is.
  app.dump.UndoStack.Clear();
}

}  // namespace vorn
