// A window with only the dump's handlers wired, driven as a user would: clicks on
// cells, text typed into DMPI, focus leaving it, buttons, list lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/wiring.h"
#include "dump/dump_view.h"
#include "window/dialogs.h"

namespace vorn::testing {

struct DumpHarness {
  window::ScriptedDialogs dialogs;
  AppState s{dialogs};

  DumpHarness() { WireDumpHandlers(s); }

  // The file as an analysis leaves the dump: page 0, cell 0 selected but not
  // highlighted, its text in DMPI.
  void Open(std::vector<uint8_t> bytes) {
    s.file.bytes = std::move(bytes);
    s.dump.DumpPage = s.dump.SelectedPage = s.dump.SelectedCell = 0;
    ShowDump(s.file, 0, s.w);
    s.w.DMPI.SetText(s.w.DMP[0].text);
  }
  void Type(const std::string& text) { s.w.DMPI.SetText(text); }
  // Focus leaves DMPI (for another control or a paging button).
  void Leave() { s.w.DMPI.LoseFocus(); }
  // A click on a dump cell (the cells take no focus; the handler commits itself).
  void ClickCell(int index) { s.w.DMP_ClickEvent(index); }
  // A click on a button first takes the focus away from DMPI.
  bool Press(window::Command& button) {
    Leave();
    return button.Click();
  }
  bool Highlighted(int cell) const {
    return s.w.DMP[cell].back == window::kBlack && s.w.DMP[cell].fore == window::kWhite;
  }
  bool Normal(int cell) const {
    return s.w.DMP[cell].back == window::kWhite && s.w.DMP[cell].fore == window::kBlack;
  }
  // Fills LOG with lines at the given positions and sets its kind.
  void List(const std::string& tag, const std::vector<int32_t>& addresses) {
    s.w.LOG.Clear();
    s.w.LOG.tag = tag;
    for (size_t i = 0; i < addresses.size(); ++i) {
      s.w.LOG.AddItem("line " + std::to_string(i));
      s.analysis.LineAddress[i] = addresses[i];
    }
    s.analysis.LogLineCount = static_cast<int16_t>(addresses.size());
  }
  size_t MessageCount() const { return dialogs.messages.size(); }
  std::string LastMessage() const { return dialogs.messages.empty() ? "" : dialogs.messages.back().text; }
};

// n bytes whose value at position p is p mod 256.
inline std::vector<uint8_t> CountingBytes(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i);
  return v;
}

}  // namespace vorn::testing
