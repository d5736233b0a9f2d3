// Placeholders until decoding and the view land; each is deleted as it is implemented.
#include "app/wiring.h"
#include "decode/decode_scan.h"
#include "decode/render.h"

namespace vorn {
McuGeometry ComputeMcuGeometry(const FrameRecord&) { return {}; }
int DecodeScan(const FileImage&, const Records&, int32_t, DecodeState&) { return 2; }
void RenderImage(AppState&) {}
bool RefreshView(AppState&, bool, bool) { return true; }
void IMAGE_Click(AppState&) {}
void LIMAGE_Click(AppState&) {}
void MODE_Click(AppState&) {}
void HScroll1_Change(AppState&) {}
void VScroll1_Change(AppState&) {}
void WireDecodeHandlers(AppState&) {}
}  // namespace vorn
