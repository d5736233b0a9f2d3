#include <algorithm>
#include <vector>

#include "analysis/message_log.h"
#include "decode/decode_state.h"
#include "fuzz_targets.h"
#include "fuzz_window.h"

namespace vorn::fuzz {

std::string McuTools(const uint8_t* data, size_t size) {
  const size_t head = std::min<size_t>(size, 4);
  InputReader choice(data, head);
  const uint16_t column = choice.U16();
  const uint16_t row = choice.U16();
  FuzzWindow w;
  w.Load(data + head, size - head);
  const McuGeometry g = ComputeMcuGeometry(w.app.rec.frame);
  if (w.app.ImageInvalid || !g.Valid() || g.McusPerRow <= 0 || g.McuRows <= 0) return "";
  const ByteStore loaded = w.app.file.bytes;
  if (!w.PressMcu(column % g.McusPerRow, row % g.McuRows)) return "";

  window::WindowModel& form = w.app.form;
  form.MCUCHK.Click();
  form.BITCHK.Click();
  if (form.LOG.tag == kCandidateListTag) form.LOG.Click(0);  // the preview
  if (w.app.file.bytes != loaded) return "the MCU tools changed the file image";
  return "";
}

}  // namespace vorn::fuzz
