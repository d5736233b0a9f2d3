// The preview of a candidate correction: traced MCUs drawn into Picture2.
#pragma once

#include <cstdint>
#include <string>

#include "inspect/tracer.h"
#include "window/elements.h"

namespace vorn {

// Three traced MCUs side by side fill the preview.
inline constexpr int kPreviewMcus = 3;
// Sampling factors are at most 2, so an MCU is at most 16 x 16 pixels and three of
// them at scale 2 fill the 96 x 32 preview exactly.
inline constexpr int32_t kMaxPreviewMcuSide = 16;

// 1 when the LIMAGE caption ends in "1" ("補正ｲﾒｰｼﾞx1"), else 2.
int PreviewScale(const std::string& limageCaption);

// Draws MCUs 0..2 of the buffer side by side from the top-left corner, each pixel
// as a scale x scale square. Nothing is cleared first: pixels outside the drawn
// area keep what an earlier preview left there.
void DrawCorrectionPreview(const McuBuffer& buffer, window::Picture& picture, int scale);

}  // namespace vorn
