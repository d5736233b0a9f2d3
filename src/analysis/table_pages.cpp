#include "analysis/table_pages.h"

#include <algorithm>
#include <string>

#include "analysis/bit_string.h"

namespace vorn {

void ShowQuantTable(const QuantStore& quant, int slot, window::WindowModel& form) {
  if (slot < 0 || slot >= static_cast<int>(quant.QuantLength.size())) return;
  form.DQTLEN.text = std::to_string(quant.QuantLength[slot]);
  form.DQTPq.text = std::to_string(quant.QuantPrecision[slot]);
  form.DQTTq.text = std::to_string(quant.QuantId[slot]);
  for (int k = 0; k < 64; ++k) form.Qtbl[k].text = std::to_string(quant.QuantValues[slot][k]);
}

void ShowHuffmanTable(const HuffStore& huff, int slot, window::WindowModel& form) {
  if (slot < 0 || slot >= static_cast<int>(huff.HuffLength.size())) return;
  form.DHTLEN.text = std::to_string(huff.HuffLength[slot]);
  form.DHTTc.text = std::to_string(huff.HuffClass[slot]);
  form.DHTTh.text = std::to_string(huff.HuffId[slot]);
  form.Htbl.Clear();
  const int c = huff.HuffClass[slot];
  const int t = huff.HuffId[slot];
  // A slot whose class or identifier was refused (it is stored before it is
  // checked) names no table in the store: there are no codes to list.
  if (c < 0 || c >= static_cast<int>(huff.HuffTable.size()) || t < 0 ||
      t >= static_cast<int>(huff.HuffTable[c].size())) {
    return;
  }
  const HuffCodeTable& table = huff.HuffTable[c][t];
  for (int n = 0; n < 16; ++n) {
    const int count = std::min<int>(table.Count[n], static_cast<int>(table.Code[n].size()));
    for (int k = 0; k < count; ++k) {
      std::string line = BitString16(table.Code[n][k]).substr(15 - n) + "(";
      if (c == 1) line += std::to_string(table.Run[n][k]) + ",";
      line += std::to_string(table.Size[n][k]) + ")";
      form.Htbl.AddItem(std::move(line));
    }
  }
}

namespace {

// Before the first page and at or after the last nothing happens. The counter is
// tested only on the side it moves to: after a stopped analysis it still counts the
// slots read, and "<" pages back from there.
bool StepPage(int16_t& page, int16_t lastPage, int step) {
  if (step < 0 ? page <= 0 : page >= lastPage) return false;
  page = static_cast<int16_t>(page + (step < 0 ? -1 : 1));
  return true;
}

}  // namespace

bool StepQuantPage(QuantStore& quant, int step, window::WindowModel& form) {
  if (!StepPage(quant.QuantTableCount, quant.QuantPageLast, step)) return false;
  ShowQuantTable(quant, quant.QuantTableCount, form);
  return true;
}

bool StepHuffmanPage(HuffStore& huff, int step, window::WindowModel& form) {
  if (!StepPage(huff.HuffTableCount, huff.HuffPageLast, step)) return false;
  ShowHuffmanTable(huff, huff.HuffTableCount, form);
  return true;
}

}  // namespace vorn
