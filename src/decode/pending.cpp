// Placeholders until decoding and the view land; each is deleted as it is implemented.
#include "app/wiring.h"
#include "decode/decode_scan.h"
#include "decode/render.h"

namespace vorn {
int DecodeScan(const FileImage&, const Records&, int32_t, DecodeState&) { return 2; }
}  // namespace vorn
