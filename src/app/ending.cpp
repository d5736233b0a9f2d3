#include "app/ending.h"

#include <vector>

#include "app/file_commands.h"

namespace vorn {
namespace {

// Gives the memory of the file image and of the decoded picture back at once; an
// empty image with zero size can never be read past.
void ReleaseBuffers(AppState& app) {
  ByteStore().swap(app.file.bytes);
  PixelStore().swap(app.decode.ImagePixels);
  app.decode.ImageWidth = 0;
  app.decode.ImageHeight = 0;
  app.decode.McuStarts = McuStartTable{};
}

// With changes unsaved, their question takes the place of "終了します": one answer
// decides, and Yes ends.
bool AskToEnd(AppState& app) {
  if (app.form.ended) return true;
  if (app.Unsaved) {
    if (!MayDiscardUnsaved(app)) return false;
  } else if (app.Message("終了します", window::Buttons::OkCancel) != window::Answer::Ok) {
    return false;
  }
  ReleaseBuffers(app);
  app.form.ended = true;
  return true;
}

}  // namespace

void QUIT_Click(AppState& app) {
  AskToEnd(app);
}

bool Form_Unload(AppState& app) {
  return AskToEnd(app);
}

}  // namespace vorn
