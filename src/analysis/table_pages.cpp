#include "analysis/table_pages.h"

#include <algorithm>
#include <string>

#include "analysis/bit_string.h"
#include "app/wiring.h"

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

void DQTUP_Click(AppState& app) {
  QuantStore& q = app.rec.quant;
  if (q.QuantTableCount <= 0) return;
  --q.QuantTableCount;
  ShowQuantTable(q, q.QuantTableCount, app.form);
}

void DQTDOWN_Click(AppState& app) {
  QuantStore& q = app.rec.quant;
  if (q.QuantTableCount >= q.QuantPageLast) return;
  ++q.QuantTableCount;
  ShowQuantTable(q, q.QuantTableCount, app.form);
}

void DHTUP_Click(AppState& app) {
  HuffStore& h = app.rec.huff;
  if (h.HuffTableCount <= 0) return;
  --h.HuffTableCount;
  ShowHuffmanTable(h, h.HuffTableCount, app.form);
}

void DHTDOWN_Click(AppState& app) {
  HuffStore& h = app.rec.huff;
  if (h.HuffTableCount >= h.HuffPageLast) return;
  ++h.HuffTableCount;
  ShowHuffmanTable(h, h.HuffTableCount, app.form);
}

void WireAnalysisHandlers(AppState& app) {
  app.form.DQTUP.onClick = [&app] { DQTUP_Click(app); };
  app.form.DQTDOWN.onClick = [&app] { DQTDOWN_Click(app); };
  app.form.DHTUP.onClick = [&app] { DHTUP_Click(app); };
  app.form.DHTDOWN.onClick = [&app] { DHTDOWN_Click(app); };
}

}  // namespace vorn
