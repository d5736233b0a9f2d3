#include "app/ending.h"

#include <vector>

namespace vorn {
namespace {

// Gives the memory of the file image and of the decoded picture back at once; an
// empty image with zero size can never be read past.
void ReleaseBuffers(AppState& s) {
  std::vector<uint8_t>().swap(s.file.bytes);
  std::vector<uint32_t>().swap(s.decode.ImagePixels);
  s.decode.imageWidth = 0;
  s.decode.imageHeight = 0;
  s.decode.McuStarts = McuStartTable{};
}

bool AskToEnd(AppState& s) {
  if (s.w.ended) return true;
  if (s.Message("終了します", window::Buttons::OkCancel) != window::Answer::Ok) return false;
  ReleaseBuffers(s);
  s.w.ended = true;
  return true;
}

}  // namespace

void QUIT_Click(AppState& s) {
  AskToEnd(s);
}

bool Form_Unload(AppState& s) {
  return AskToEnd(s);
}

}  // namespace vorn
