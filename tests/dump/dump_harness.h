// A window with only the dump's handlers wired, driven as a user would: clicks on
// cells, text typed into DMPI, focus leaving it, buttons, list lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/wiring.h"
#include "dump/dump_view.h"
#include "support/test_app.h"
#include "window/dialogs.h"

namespace vorn::testing {

struct DumpHarness : TestApp {
  DumpHarness() { WireDumpHandlers(app); }

  // The file as an analysis leaves the dump: page 0, cell 0 selected but not
  // highlighted, its text in DMPI.
  void Open(std::vector<uint8_t> bytes) {
    file.bytes = std::move(bytes);
    dump.DumpPage = dump.SelectedPage = dump.SelectedCell = 0;
    ShowDump(file, 0, form);
    form.DMPI.SetText(form.DMP[0].text);
  }
  void Type(const std::string& text) { form.DMPI.SetText(text); }
  // Focus leaves DMPI (for another control or a paging button).
  void Leave() { form.DMPI.LoseFocus(); }
  // A click on a dump cell (the cells take no focus; the handler commits itself).
  void ClickCell(int index) { form.DMP_ClickEvent(index); }
  // A click on a button first takes the focus away from DMPI.
  bool Press(window::Command& button) {
    Leave();
    return button.Click();
  }
  bool Highlighted(int cell) const {
    return form.DMP[cell].back == window::kBlack && form.DMP[cell].fore == window::kWhite;
  }
  bool Normal(int cell) const {
    return form.DMP[cell].back == window::kWhite && form.DMP[cell].fore == window::kBlack;
  }
  // Fills LOG with lines at the given positions and sets its kind.
  void List(const std::string& tag, const std::vector<int32_t>& addresses) {
    form.LOG.Clear();
    form.LOG.tag = tag;
    for (size_t i = 0; i < addresses.size(); ++i) {
      form.LOG.AddItem("line " + std::to_string(i));
      analysis.LineAddress[i] = addresses[i];
    }
    analysis.LogLineCount = static_cast<int16_t>(addresses.size());
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
