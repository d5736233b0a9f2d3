// The preview of a candidate correction: three traced MCUs drawn into Picture2.
#pragma once

#include <string>

#include "app/app_state.h"
#include "inspect/trace_scan.h"

namespace vorn {

// 1 when the LIMAGE caption ends in "1" ("補正ｲﾒｰｼﾞx1"), else 2.
int PreviewScale(const std::string& limageCaption);

// Draws MCUs 0..2 of the buffer side by side from the top-left corner, each pixel
// as a scale x scale square. Nothing is cleared first: pixels outside the drawn
// area keep what an earlier preview left there.
void DrawCorrectionPreview(const McuBuffer& buffer, window::Picture& picture, int scale);

// Traces three MCUs from the MCU pointer as if `bitIndex` of the byte at `position`
// were set, and draws them when the trace completes. The trial byte is handed to the
// tracer as an override, so the file image is never written.
void PreviewCorrection(AppState& app, int32_t position, int32_t bitIndex);

}  // namespace vorn
