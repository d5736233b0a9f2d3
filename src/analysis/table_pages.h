// The quantization and Huffman table areas: one stored table at a time, paged
// with "<" and ">".
#pragma once

#include "analysis/records.h"
#include "app/app_state.h"
#include "window/window_model.h"

namespace vorn {

// DQTLEN, DQTPq, DQTTq and the 64 Qtbl cells from quantization slot `slot`.
void ShowQuantTable(const QuantStore& quant, int slot, window::WindowModel& form);
// DHTLEN, DHTTc, DHTTh and one Htbl line per code of the table held in slot `slot`.
void ShowHuffmanTable(const HuffStore& huff, int slot, window::WindowModel& form);

void DQTUP_Click(AppState& app);
void DQTDOWN_Click(AppState& app);
void DHTUP_Click(AppState& app);
void DHTDOWN_Click(AppState& app);

}  // namespace vorn
