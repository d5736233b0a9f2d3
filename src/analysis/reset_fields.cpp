#include "analysis/marker_analysis.h"

namespace vorn {
namespace {

template <size_t N>
void Empty(std::array<window::Label, N>& labels) {
  for (window::Label& l : labels) l.text.clear();
}

}  // namespace

void ResetSegmentFields(window::WindowModel& form) {
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
}

}  // namespace vorn
