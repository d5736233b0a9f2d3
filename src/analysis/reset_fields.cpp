#include "analysis/marker_analysis.h"

namespace vorn {
namespace {

template <size_t N>
void Empty(std::array<window::Label, N>& labels) {
  for (window::Label& l : labels) l.text.clear();
}

}  // namespace

void ResetSegmentFields(AppState& s) {
  window::WindowModel& w = s.w;
  for (window::Label* l :
       {&w.APP0LEN, &w.APP0ID, &w.APP0v1, &w.APP0v2, &w.APP0U,  &w.APP0Xd,  &w.APP0Yd, &w.APP0ETC,
        &w.COMLEN,  &w.COM,    &w.DQTLEN, &w.DQTPq,  &w.DQTTq,  &w.SOF0LEN, &w.SOF0P,  &w.SOF0Y,
        &w.SOF0X,   &w.SOF0Nf, &w.DRILEN, &w.DRI,    &w.DHTLEN, &w.DHTTc,   &w.DHTTh,  &w.SOSLEN,
        &w.SOSNs,   &w.SOSSs,  &w.SOSSe,  &w.SOSAh,  &w.SOSAl}) {
    l->text.clear();
  }
  Empty(w.Qtbl);
  Empty(w.SOF0Ci);
  Empty(w.SOF0Hi);
  Empty(w.SOF0Vi);
  Empty(w.SOF0Tqi);
  w.Htbl.Clear();
  Empty(w.SOSCsi);
  Empty(w.SOSTdi);
  Empty(w.SOSTai);

  // What a decode and the investigations showed no longer stands behind the fields.
  w.Picture1.Clear();
  w.Picture2.Clear();
  w.Picture3.Clear();
  s.analysis.ImageInvalid = true;
  w.VScroll1.SetMax(0);
  w.VScroll1.SetValue(0);
  w.HScroll1.SetMax(0);
  w.HScroll1.SetValue(0);
  Empty(w.DCV);
  for (window::Label* l : {&w.MCUX, &w.MCUY, &w.MCUBIT, &w.MCUBYTE}) l->text.clear();
  for (window::Command* c : {&w.MCUCHK, &w.BITCHK, &w.SAVE, &w.UNDO, &w.REDO}) c->enabled = false;
  // The redo history is left as it is.
  s.dump.UndoStack.Clear();
}

}  // namespace vorn
