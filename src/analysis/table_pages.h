// The quantization and Huffman table areas: one stored table at a time, paged
// with "<" and ">".
#pragma once

#include "jpeg/records.h"
#include "window/window_model.h"

namespace vorn {

// DQTLEN, DQTPq, DQTTq and the 64 Qtbl cells from quantization slot `slot`.
void ShowQuantTable(const QuantStore& quant, int slot, window::WindowModel& form);
// DHTLEN, DHTTc, DHTTh and one Htbl line per code of the table held in slot `slot`.
void ShowHuffmanTable(const HuffStore& huff, int slot, window::WindowModel& form);

// The page buttons: show the previous (step < 0) or next (step > 0) stored table;
// false, with nothing changed, at the first or last page. After an analysis the
// table counters hold the page shown.
bool StepQuantPage(QuantStore& quant, int step, window::WindowModel& form);
bool StepHuffmanPage(HuffStore& huff, int step, window::WindowModel& form);

}  // namespace vorn
