#include "app/ending.h"

#include <vector>

#include "app/file_commands.h"

namespace vorn {
namespace {

// Gives the memory of the file image and of the decoded picture back at once; an
// empty image with zero size can never be read past.
void ReleaseBuffers(FileImage& file, DecodeState& decode) {
  ByteStore().swap(file.bytes);
  PixelStore().swap(decode.ImagePixels);
  decode.ImageWidth = 0;
  decode.ImageHeight = 0;
  decode.McuStarts = McuStartTable{};
}

// With changes unsaved, their question takes the place of "終了します": one answer
// decides, and Yes ends.
bool AskToEnd(AppState& app) {
  if (app.form.ended) return true;
  if (app.Unsaved) {
    if (!MayDiscardUnsaved(app.dialogs, app.Unsaved)) return false;
  } else if (app.Message("終了します", window::Buttons::OkCancel) != window::Answer::Ok) {
    return false;
  }
  ReleaseBuffers(app.file, app.decode);
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
