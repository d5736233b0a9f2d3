#include <cstdio>
#include <iterator>
#include <vector>

#include "analysis/hex.h"
#include "analysis/message_log.h"
#include "decode/decode_state.h"
#include "fuzz_targets.h"
#include "fuzz_window.h"

namespace vorn::fuzz {

namespace {

std::string CheckHistory(const HistoryStack& stack, const char* name) {
  bool ended = false;
  for (const HistoryEntry& e : stack.Entries) {
    if (e.Length == 0) {
      ended = true;
      continue;
    }
    if (ended) return std::string(name) + " holds an entry after an empty one";
    if (e.Address < 0 || e.Address >= e.Length)
      return std::string(name) + " holds a position outside its file";
  }
  return "";
}

// Pages the dump to `page` with the four paging commands, as a user would.
void GoToPage(AppState& app, int32_t page) {
  window::WindowModel& form = app.form;
  for (int guard = 0; guard < 1 << 16 && app.dump.DumpPage != page; ++guard) {
    const int32_t d = page - app.dump.DumpPage;
    window::Command& step = d >= 16    ? form.DMPFDOWN
                            : d > 0    ? form.DMPDOWN
                            : d <= -16 ? form.DMPFUP
                                       : form.DMPUP;
    const int32_t before = app.dump.DumpPage;
    step.Click();
    if (app.dump.DumpPage == before) return;
  }
}

// Selects the cell of position p (paging there first) and types text into DMPI.
void TypeAt(AppState& app, int32_t p, const std::string& text) {
  GoToPage(app, p / 256);
  app.form.DMP_ClickEvent(p % 256);
  app.form.DMPI.SetText(text);
  app.form.DMPI.LoseFocus();
}

// A correction applied from the candidate list: exactly the recorded byte changed,
// an undo brings back the whole file image and a redo the corrected one.
std::string CheckCorrection(AppState& app, const ByteStore& before) {
  const ByteStore corrected = app.file.bytes;
  const HistoryEntry& record = app.dump.UndoStack.Entries[0];
  if (corrected.size() != before.size()) return "a correction changed the file length";
  if (record.Address < 0 || static_cast<size_t>(record.Address) >= before.size() || !record.SingleByte() ||
      record.PutBack[0] != before[static_cast<size_t>(record.Address)])
    return "the undo record of a correction does not hold the byte it replaced";
  for (size_t i = 0; i < before.size(); ++i)
    if (corrected[i] != before[i] && i != static_cast<size_t>(record.Address))
      return "a correction changed a byte it did not record";
  if (!app.form.UNDO.Click() || app.file.bytes != before)
    return "an undo after a correction did not restore the file";
  if (!app.form.REDO.Click() || app.file.bytes != corrected)
    return "a redo did not bring the correction back";
  return "";
}

std::string ApplyCandidate(FuzzWindow& w, InputReader& script) {
  AppState& app = w.app;
  window::WindowModel& form = app.form;
  const uint16_t column = script.Byte(), row = script.Byte();
  const int line = script.Byte() % 8;
  const McuGeometry g = ComputeMcuGeometry(app.rec.frame);
  if (g.Valid() && g.McusPerRow > 0 && g.McuRows > 0) w.PressMcu(column % g.McusPerRow, row % g.McuRows);
  form.BITCHK.Click();
  if (form.LOG.tag != kCandidateListTag) return "";
  const ByteStore before = app.file.bytes;
  form.LOG.Click(line);
  if (app.file.bytes != before) return "a candidate's preview changed the file image";
  form.LOG.DblClick(line);
  return app.file.bytes == before ? "" : CheckCorrection(app, before);
}

void RestartAt(FuzzWindow& w, InputReader& script) {
  window::WindowModel& form = w.app.form;
  const uint8_t line = script.Byte();
  const bool yes = (script.Byte() & 1) != 0;
  if (form.LOG.tag != kMarkerListTag) form.IMAGE.Click();
  if (form.LOG.tag != kMarkerListTag || form.LOG.Count() == 0) return;
  const int index = line % form.LOG.Count();
  w.dialogs.answers.push_back(yes ? window::Answer::Yes : window::Answer::No);
  form.LOG.Click(index);
  form.LOG.DblClick(index);
  w.dialogs.answers.clear();
}

float PressCoordinate(uint8_t b) {
  return static_cast<float>(b * 2 - 16) + ((b & 1) != 0 ? 0.5f : 0.0f);
}

std::string RunAction(FuzzWindow& w, InputReader& script) {
  AppState& app = w.app;
  window::WindowModel& form = app.form;
  switch (static_cast<ActionCode>(script.Byte() % kActionCount)) {
    case ActionCode::CellClick:
      form.DMP_ClickEvent(script.Byte());
      break;
    case ActionCode::TypeInput:
      form.DMPI.SetText(InputText(script.Byte()));
      form.DMPI.LoseFocus();
      break;
    case ActionCode::RemoveLast:
      if (app.file.FileLength() > 0) TypeAt(app, app.file.FileLength() - 1, "");
      break;
    case ActionCode::Append:
      TypeAt(app, app.file.FileLength(), Hex2(script.Byte()));
      break;
    case ActionCode::Page: {
      window::Command* const pages[] = {&form.DMPFUP, &form.DMPUP, &form.DMPDOWN, &form.DMPFDOWN};
      pages[script.Byte() % 4]->Click();
      break;
    }
    case ActionCode::Undo:
      form.UNDO.Click();
      break;
    case ActionCode::Redo:
      form.REDO.Click();
      break;
    case ActionCode::ApplyCandidate:
      return ApplyCandidate(w, script);
    case ActionCode::RestartAt:
      RestartAt(w, script);
      break;
    case ActionCode::Image:
      form.IMAGE.Click();
      break;
    case ActionCode::Press: {
      const float x = PressCoordinate(script.Byte());
      form.Picture1.onMouseDown(1, 0, x, PressCoordinate(script.Byte()));
      break;
    }
    case ActionCode::McuCheck:
      form.MCUCHK.Click();
      break;
  }
  return "";
}

}  // namespace

std::string InputText(uint8_t code) {
  static const char* const kOddTexts[] = {"", "0", "00", "G", "-1", "0 ", "F ", "\t7", "あ", "x1"};
  if (code < std::size(kOddTexts)) return kOddTexts[code];
  char text[3];
  std::snprintf(text, sizeof text, (code & 1) != 0 ? "%02x" : "%02X", code);
  return text;
}

std::string CheckEditState(const AppState& app) {
  if (static_cast<size_t>(app.file.FileLength()) != app.file.bytes.size())
    return "FileLength differs from the size of the file image";
  for (const std::string& failure : {CheckHistory(app.dump.UndoStack, "the undo history"),
                                     CheckHistory(app.dump.RedoStack, "the redo history")})
    if (!failure.empty()) return failure;
  // An UNDO or REDO that could run on an empty history would cut the file to 0 bytes.
  if (app.form.UNDO.enabled != !app.dump.UndoStack.Empty()) return "UNDO's state differs from its history";
  if (app.form.REDO.enabled && app.dump.RedoStack.Empty()) return "REDO is enabled with an empty history";
  if (app.dump.SelectedCell < 0 || app.dump.SelectedCell > 255 || app.dump.DumpPage < 0)
    return "the dump selection lies outside the dump";
  return "";
}

std::string RunActions(FuzzWindow& w, const uint8_t* script, size_t size) {
  InputReader in(script, size);
  for (int step = 0; !in.Empty(); ++step) {
    std::string failure = RunAction(w, in);
    if (failure.empty()) failure = CheckEditState(w.app);
    if (!failure.empty()) return "step " + std::to_string(step) + ": " + failure;
  }
  return "";
}

std::string WindowActions(const uint8_t* data, size_t size) {
  if (size == 0) return "";
  const size_t scriptSize = std::min<size_t>(data[0], size - 1);
  FuzzWindow w;
  w.Load(data + 1 + scriptSize, size - 1 - scriptSize);
  if (std::string failure = CheckEditState(w.app); !failure.empty()) return "after the load: " + failure;
  return RunActions(w, data + 1, scriptSize);
}

}  // namespace vorn::fuzz
