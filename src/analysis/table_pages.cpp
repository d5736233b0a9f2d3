#include "analysis/table_pages.h"

#include <algorithm>
#include <string>

#include "analysis/bit_string.h"
#include "app/wiring.h"

namespace vorn {

void ShowQuantTable(const QuantStore& quant, int slot, window::WindowModel& w) {
  if (slot < 0 || slot >= static_cast<int>(quant.QuantLength.size())) return;
  w.DQTLEN.text = std::to_string(quant.QuantLength[slot]);
  w.DQTPq.text = std::to_string(quant.QuantPrecision[slot]);
  w.DQTTq.text = std::to_string(quant.QuantId[slot]);
  for (int k = 0; k < 64; ++k) w.Qtbl[k].text = std::to_string(quant.QuantValues[slot][k]);
}

void ShowHuffmanTable(const HuffStore& huff, int slot, window::WindowModel& w) {
  if (slot < 0 || slot >= static_cast<int>(huff.HuffLength.size())) return;
  w.DHTLEN.text = std::to_string(huff.HuffLength[slot]);
  w.DHTTc.text = std::to_string(huff.HuffClass[slot]);
  w.DHTTh.text = std::to_string(huff.HuffId[slot]);
  w.Htbl.Clear();
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
    const int count = std::min<int>(table.count[n], static_cast<int>(table.code[n].size()));
    for (int k = 0; k < count; ++k) {
      std::string line = BitString16(table.code[n][k]).substr(15 - n) + "(";
      if (c == 1) line += std::to_string(table.run[n][k]) + ",";
      line += std::to_string(table.size[n][k]) + ")";
      w.Htbl.AddItem(std::move(line));
    }
  }
}

void DQTUP_Click(AppState& s) {
  QuantStore& q = s.rec.quant;
  if (q.QuantTableCount <= 0) return;
  --q.QuantTableCount;
  ShowQuantTable(q, q.QuantTableCount, s.w);
}

void DQTDOWN_Click(AppState& s) {
  QuantStore& q = s.rec.quant;
  if (q.QuantTableCount >= q.QuantPageLast) return;
  ++q.QuantTableCount;
  ShowQuantTable(q, q.QuantTableCount, s.w);
}

void DHTUP_Click(AppState& s) {
  HuffStore& h = s.rec.huff;
  if (h.HuffTableCount <= 0) return;
  --h.HuffTableCount;
  ShowHuffmanTable(h, h.HuffTableCount, s.w);
}

void DHTDOWN_Click(AppState& s) {
  HuffStore& h = s.rec.huff;
  if (h.HuffTableCount >= h.HuffPageLast) return;
  ++h.HuffTableCount;
  ShowHuffmanTable(h, h.HuffTableCount, s.w);
}

void WireAnalysisHandlers(AppState& s) {
  s.w.DQTUP.onClick = [&s] { DQTUP_Click(s); };
  s.w.DQTDOWN.onClick = [&s] { DQTDOWN_Click(s); };
  s.w.DHTUP.onClick = [&s] { DHTUP_Click(s); };
  s.w.DHTDOWN.onClick = [&s] { DHTDOWN_Click(s); };
}

}  // namespace vorn
