#include "gui/model_lookup.h"

#include <array>
#include <utility>

namespace vorn::gui {

namespace {

using window::WindowModel;
using Accessor = ElementRef (*)(WindowModel&, int);

ElementRef Ref(window::Label* e) {
  return {.label = e};
}
ElementRef Ref(window::Command* e) {
  return {.command = e};
}
ElementRef Ref(window::TextField* e) {
  return {.textField = e};
}
ElementRef Ref(window::ListBox* e) {
  return {.list = e};
}
ElementRef Ref(window::Picture* e) {
  return {.picture = e};
}
ElementRef Ref(window::ScrollBar* e) {
  return {.scrollBar = e};
}

template <typename T>
ElementRef At(T& element, int index) {
  if (index != 0) return {};
  return Ref(&element);
}

template <typename T, size_t N>
ElementRef At(std::array<T, N>& elements, int index) {
  if (index < 0 || static_cast<size_t>(index) >= N) return {};
  return Ref(&elements[static_cast<size_t>(index)]);
}

// One accessor per member; a macro keeps each name written once.
#define VORN_ELEMENT(member)                                              \
  {                                                                       \
#member, [](WindowModel & form, int i) { return At(form.member, i); } \
  }

const std::pair<std::string_view, Accessor> kElements[] = {
    VORN_ELEMENT(MODE),     VORN_ELEMENT(Picture1), VORN_ELEMENT(Picture2), VORN_ELEMENT(Picture3),
    VORN_ELEMENT(VScroll1), VORN_ELEMENT(HScroll1), VORN_ELEMENT(IMAGE),    VORN_ELEMENT(MCUCHK),
    VORN_ELEMENT(BITCHK),   VORN_ELEMENT(LIMAGE),   VORN_ELEMENT(UNDO),     VORN_ELEMENT(LOAD),
    VORN_ELEMENT(SAVE),     VORN_ELEMENT(QUIT),     VORN_ELEMENT(REDO),     VORN_ELEMENT(Fname),
    VORN_ELEMENT(LOG),      VORN_ELEMENT(DMPI),     VORN_ELEMENT(MCUX),     VORN_ELEMENT(MCUY),
    VORN_ELEMENT(MCUBYTE),  VORN_ELEMENT(MCUBIT),   VORN_ELEMENT(DCV),      VORN_ELEMENT(STANA),
    VORN_ELEMENT(DMPFUP),   VORN_ELEMENT(DMPUP),    VORN_ELEMENT(DMPDOWN),  VORN_ELEMENT(DMPFDOWN),
    VORN_ELEMENT(DMPL),     VORN_ELEMENT(DMPH),     VORN_ELEMENT(DMP),      VORN_ELEMENT(APP0LEN),
    VORN_ELEMENT(APP0ID),   VORN_ELEMENT(APP0v1),   VORN_ELEMENT(APP0v2),   VORN_ELEMENT(APP0U),
    VORN_ELEMENT(APP0Xd),   VORN_ELEMENT(APP0Yd),   VORN_ELEMENT(APP0ETC),  VORN_ELEMENT(SOF0LEN),
    VORN_ELEMENT(SOF0P),    VORN_ELEMENT(SOF0X),    VORN_ELEMENT(SOF0Y),    VORN_ELEMENT(SOF0Nf),
    VORN_ELEMENT(SOF0Ci),   VORN_ELEMENT(SOF0Hi),   VORN_ELEMENT(SOF0Vi),   VORN_ELEMENT(SOF0Tqi),
    VORN_ELEMENT(COMLEN),   VORN_ELEMENT(COM),      VORN_ELEMENT(DQTLEN),   VORN_ELEMENT(DQTPq),
    VORN_ELEMENT(DQTTq),    VORN_ELEMENT(DQTUP),    VORN_ELEMENT(DQTDOWN),  VORN_ELEMENT(Qtbl),
    VORN_ELEMENT(DHTLEN),   VORN_ELEMENT(DHTTc),    VORN_ELEMENT(DHTTh),    VORN_ELEMENT(DHTUP),
    VORN_ELEMENT(DHTDOWN),  VORN_ELEMENT(Htbl),     VORN_ELEMENT(SOSLEN),   VORN_ELEMENT(SOSNs),
    VORN_ELEMENT(SOSCsi),   VORN_ELEMENT(SOSTdi),   VORN_ELEMENT(SOSTai),   VORN_ELEMENT(SOSSs),
    VORN_ELEMENT(SOSSe),    VORN_ELEMENT(SOSAh),    VORN_ELEMENT(SOSAl),    VORN_ELEMENT(DRILEN),
    VORN_ELEMENT(DRI),
};

#undef VORN_ELEMENT

}  // namespace

ElementRef FindElement(WindowModel& form, std::string_view name, int index) {
  for (const auto& [elementName, access] : kElements)
    if (elementName == name) return access(form, index);
  return {};
}

}  // namespace vorn::gui
