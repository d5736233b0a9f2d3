// The quantization and Huffman table areas: one stored table at a time, paged
// with "<" and ">".
#pragma once

#include "analysis/records.h"
#include "app/app_state.h"
#include "window/window_model.h"

namespace vorn {

// DQTLEN, DQTPq, DQTTq and the 64 Qtbl cells from quantization slot `slot`.
void ShowQuantTable(const QuantStore& quant, int slot, window::WindowModel& w);
// DHTLEN, DHTTc, DHTTh and one Htbl line per code of the table held in slot `slot`.
void ShowHuffmanTable(const HuffStore& huff, int slot, window::WindowModel& w);

void DQTUP_Click(AppState& s);
void DQTDOWN_Click(AppState& s);
void DHTUP_Click(AppState& s);
void DHTDOWN_Click(AppState& s);

}  // namespace vorn
