// A JPEG file run through the real marker analysis, for tests and benchmarks that
// decode whole encoder-made files.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/file_image.h"
#include "decode/decode_state.h"
#include "jpeg/records.h"

namespace vorn::testing {

struct AnalysedJpeg {
  bool completed = false;  // the analysis ran to its end
  FileImage file;
  Records rec;
  int32_t scanDataEnd = 0;
};

AnalysedJpeg AnalyseJpeg(const std::vector<uint8_t>& bytes);

// ImagePixels and McuStarts created for the frame as the renderer creates them.
void CreateDecodeStores(const Records& rec, DecodeState& decode);

}  // namespace vorn::testing
