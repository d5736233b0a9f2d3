// The fuzz targets' bodies outside the fuzzer: every input that once broke a target
// is replayed (under the sanitizer build too), and recorded action scripts show
// that the window-actions invariants hold on real edits and catch broken states.
#include "fuzz_targets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "support/libjpeg_peer.h"

namespace vorn::fuzz {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using Bytes = std::vector<uint8_t>;

const std::string kSource = VORN_SOURCE_DIR;

TEST(FuzzRegressions, EveryInputThatOnceBrokeATargetPassesIt) {
  const std::map<std::string, std::function<std::string(const uint8_t*, size_t)>> targets = {
      {"load", LoadAnalyseRender}, {"mcu", McuTools}, {"actions", WindowActions}, {"repair", CheckRepair}};
  const fs::path root = kSource + "/tests/fixtures/regressions";
  int replayed = 0;
  if (!fs::exists(root)) return;
  for (const auto& folder : fs::directory_iterator(root)) {
    if (!folder.is_directory()) continue;
    const auto target = targets.find(folder.path().filename().string());
    ASSERT_NE(target, targets.end()) << "no target for " << folder.path();
    for (const auto& input : fs::directory_iterator(folder.path())) {
      const Bytes bytes = ReadFileBytes(input.path().string());
      EXPECT_EQ(target->second(bytes.data(), bytes.size()), "") << input.path();
      ++replayed;
    }
  }
  RecordProperty("replayed", replayed);
}

Bytes Script(std::initializer_list<Bytes> ops) {
  Bytes all;
  for (const Bytes& op : ops) all.insert(all.end(), op.begin(), op.end());
  return all;
}

Bytes Op(ActionCode code, Bytes operands = {}) {
  operands.insert(operands.begin(), static_cast<uint8_t>(code));
  return operands;
}

struct WindowActionScripts : ::testing::Test {
  Bytes damaged = ReadFileBytes(kSource + "/samples/damaged.jpg");
  Bytes sample = ReadFileBytes(kSource + "/samples/sample.jpg");
  FuzzWindow w;
  void SetUp() override { w.Load(damaged.data(), damaged.size()); }
  std::string Run(const Bytes& script) { return RunActions(w, script.data(), script.size()); }
};

TEST_F(WindowActionScripts, TheFirstCandidateRepairsAndUndoRedoStepThroughIt) {
  // The correction's own check undoes and redoes it once; then the script does.
  EXPECT_EQ(Run(Op(ActionCode::ApplyCandidate, {3, 6, 0})), "");
  EXPECT_EQ(w.app.file.bytes, sample);
  EXPECT_EQ(Run(Script({Op(ActionCode::Undo), Op(ActionCode::Redo), Op(ActionCode::Undo)})), "");
  EXPECT_EQ(w.app.file.bytes, damaged);
  EXPECT_FALSE(w.app.form.UNDO.enabled);
  EXPECT_TRUE(w.app.form.REDO.enabled);
}

TEST_F(WindowActionScripts, SeventeenCorrectionsKeepTheLastSixteen) {
  Bytes script;
  for (int i = 0; i < 17; ++i) script = Script({script, Op(ActionCode::ApplyCandidate, {3, 6, 0})});
  ASSERT_EQ(Run(script), "");
  EXPECT_FALSE(w.app.dump.UndoStack.Entries[15].Length == 0);
  Bytes undos;
  for (int i = 0; i < 17; ++i) undos = Script({undos, Op(ActionCode::Undo)});
  EXPECT_EQ(Run(undos), "");
  EXPECT_FALSE(w.app.form.UNDO.enabled);
  EXPECT_NE(w.app.file.bytes, damaged);  // the first correction is out of reach
}

TEST_F(WindowActionScripts, DirectEditsRemoveAppendAndEmptyTheHistories) {
  // The correction shows its byte's page; the fast page-up goes back to page 0.
  const Bytes script = Script(
      {Op(ActionCode::ApplyCandidate, {3, 6, 0}), Op(ActionCode::Page, {0}), Op(ActionCode::CellClick, {5}),
       Op(ActionCode::TypeInput, {0xAB}), Op(ActionCode::TypeInput, {3}), Op(ActionCode::RemoveLast),
       Op(ActionCode::RemoveLast), Op(ActionCode::Append, {0xD9}), Op(ActionCode::Undo)});
  ASSERT_EQ(Run(script), "");
  Bytes expected(sample.begin(), sample.end() - 2);
  expected[5] = 0xAB;
  expected.push_back(0xD9);
  EXPECT_EQ(w.app.file.bytes, expected);
  EXPECT_TRUE(w.app.dump.UndoStack.Empty() && w.app.dump.RedoStack.Empty());
  EXPECT_EQ(w.dialogs.Texts().back(), "入力エラー");  // "G" was refused
}

TEST_F(WindowActionScripts, BrokenHistoriesAreCaught) {
  EXPECT_EQ(CheckEditState(w.app), "");
  w.app.form.UNDO.enabled = true;  // an UNDO on an empty history would cut the file to 0 bytes
  EXPECT_NE(CheckEditState(w.app), "");
  w.app.form.UNDO.enabled = false;
  w.app.dump.RedoStack.Entries[1] = {
      .Address = 10, .Length = static_cast<int32_t>(damaged.size()), .PutBack = {0x7F}};
  EXPECT_NE(CheckEditState(w.app), "");  // a record behind an empty one
  w.app.dump.RedoStack.Entries[0] = {.Address = static_cast<int32_t>(damaged.size()),
                                     .Length = static_cast<int32_t>(damaged.size()),
                                     .PutBack = {0}};
  EXPECT_NE(CheckEditState(w.app), "");  // a record beyond its file
}

}  // namespace
}  // namespace vorn::fuzz
