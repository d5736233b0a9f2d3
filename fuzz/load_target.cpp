#include <vector>

#include "fuzz_targets.h"
#include "fuzz_window.h"

namespace vorn::fuzz {

std::string LoadAnalyseRender(const uint8_t* data, size_t size) {
  FuzzWindow w;
  w.Load(data, size);
  if (w.app.file.bytes != std::vector<uint8_t>(data, data + size) && size > 0)
    return "the file image differs from the file after the load";

  // The view's own commands on whatever the load left: the far corner of the
  // picture, the other view mode and preview scale, the table pages.
  window::WindowModel& form = w.app.form;
  form.HScroll1.SetValue(form.HScroll1.max);
  form.VScroll1.SetValue(form.VScroll1.max);
  form.MODE.Click();
  form.LIMAGE.Click();
  form.DQTDOWN.Click();
  form.DHTDOWN.Click();
  form.DHTDOWN.Click();
  if (size > 0 && w.app.file.bytes != std::vector<uint8_t>(data, data + size))
    return "a view command changed the file image";
  return "";
}

}  // namespace vorn::fuzz
