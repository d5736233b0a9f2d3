#include "support/window_session.h"

#include <algorithm>

#include "analysis/marker_analysis.h"
#include "app/analyze.h"
#include "app/wiring.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"

namespace vorn::testing {

WindowSession::WindowSession() {
  WireHandlers(app);
  Form_Load(app, [] { return false; });
}

bool WindowSession::LoadFile(const std::string& path) {
  return LoadFileImage(app, path, true).completed;
}

bool WindowSession::Load(const std::vector<uint8_t>& bytes) {
  const std::string path = TempDir() + "/picture.jpg";
  return WriteFileBytes(path, bytes) && LoadFile(path);
}

void WindowSession::PressMcu(int32_t column, int32_t row) {
  const McuGeometry& g = decode.Geometry;
  const int32_t x = std::min(column * g.McuWidth + g.McuWidth / 2, rec.frame.FrameWidth - 1);
  const int32_t y = std::min(row * g.McuHeight + g.McuHeight / 2, rec.frame.FrameHeight - 1);
  if (form.Picture1.onMouseDown)
    form.Picture1.onMouseDown(1, 0, static_cast<float>(x), static_cast<float>(y));
}

std::string WindowSession::LastMessage() const {
  return dialogs.messages.empty() ? "" : dialogs.messages.back().text;
}

}  // namespace vorn::testing
