// 修復 → 救出 as the window runs it: what exact repair cannot restore is salvaged, the
// made-up MCUs outlined in the picture, and the user confirms or takes it back.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/app_state.h"
#include "salvage/salvage_scan.h"

namespace vorn {

// "救出": locates the damage; a clean scan says "破損は見つかりませんでした", and damage
// that the verified repair restores exactly is left to 自動修復. Otherwise salvages the
// scan under a progress box, applies the result as one correction (undoable), draws
// the picture with the made-up MCUs outlined in red and those shifted back in
// yellow, lists them in LOG and asks whether to keep it; "いいえ" undoes it.
void SALVAGE_Click(AppState& app);

// The change that turns before into after: the bytes between their common beginning
// and their common end (of before's length at most) replaced.
HistoryEntry ChangeBetween(std::span<const uint8_t> before, std::span<const uint8_t> after);

// Draws a one-pixel frame round every MCU of ranges into the bottom-up picture of
// width x height samples, clipped to it.
void OutlineMcus(PixelStore& pixels, int32_t width, int32_t height, const McuGeometry& geometry,
                 const std::vector<McuRange>& ranges, uint32_t colour);

}  // namespace vorn
