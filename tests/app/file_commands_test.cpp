// Load, save and drop through scripted dialogs, on small files made by libjpeg.
#include "app/file_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "app/dump_handlers.h"
#include "app/wiring.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "support/test_app.h"
#include "unprivileged.h"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::WriteFileBytes;
using Texts = std::vector<std::string>;

const char* const kReadOnly = "読み取り専用です";

// The specified text, whatever cause follows on the next line.
bool IsGenericError(std::string text) {
  text = text.substr(0, text.find('\n'));
  const std::string head = "エラーが発生しました(";
  return text.rfind(head, 0) == 0 && text.size() > head.size() + 1 && text.back() == ')' &&
         text.find_first_not_of("0123456789", head.size()) == text.size() - 1;
}

// A path of exactly n characters under dir, of three-byte characters (so it is far
// longer in bytes) spread over folders that keep within the 255-byte name limit.
std::string PathOfCharacters(std::string path, size_t n) {
  size_t count = path.size();  // the temp dir is ASCII
  for (; count + 66 < n; count += 61) {
    path += "/";
    for (int i = 0; i < 60; ++i) path += "あ";
    fs::create_directory(path);
  }
  for (path += "/", ++count; count + 4 < n; ++count) path += "い";
  return path + ".jpg";
}

struct FileCommands : ::testing::Test, testing::TestApp {
  std::string dir = testing::TempDir();
  std::vector<uint8_t> a = Jpeg(1), b = Jpeg(2);
  std::string pathA = dir + "/a.jpg", pathB = dir + "/b.jpg";

  static std::vector<uint8_t> Jpeg(uint32_t seed) {
    testing::EncodeOptions options;
    options.width = 32;
    options.height = 16;
    return testing::EncodePhotoLike(options, seed);
  }
  void SetUp() override {
    WireHandlers(app);
    ASSERT_TRUE(Form_Load(app, [] { return false; }));
    ASSERT_TRUE(WriteFileBytes(pathA, a) && WriteFileBytes(pathB, b) && a != b);
  }
  void Load(const std::string& path) {
    dialogs.openPaths.push_back(path);
    EXPECT_TRUE(form.LOAD.Click());
  }
  void Save(const std::string& path) {
    dialogs.savePaths.push_back(path);
    SAVE_Click(app);  // directly: enabling SAVE belongs to the decode
  }
};

TEST_F(FileCommands, DialogsCarryTitlesFilterBufferAndOptionsAndCancelDoesNothing) {
  form.LOAD.Click();
  form.Fname.text = dir + "/shown.jpg";
  SAVE_Click(app);
  form.LOAD.Click();
  ASSERT_EQ(dialogs.openRequests.size() + dialogs.saveRequests.size(), 3u);
  const window::FileDialogRequest& open = dialogs.openRequests[0];
  const window::FileDialogRequest& save = dialogs.saveRequests[0];
  // Both start in the folder of the current file, once there is one.
  EXPECT_EQ(open.folder, "");
  EXPECT_EQ(save.folder, dir);
  EXPECT_EQ(dialogs.openRequests[1].folder, dir);
  EXPECT_EQ(open.title, "ファイルを開く");
  EXPECT_EQ(save.title, "ファイルを保存する");
  // Opening lists every usual ending of a JPEG file; saving keeps its ".jpg" rule.
  EXPECT_TRUE(open.filterLabel == "JPEGファイル(*.jpg *.jpeg *.jpe *.jfif)" &&
              open.filterPattern == "*.jpg *.jpeg *.jpe *.jfif" && open.bufferSize == 250);
  EXPECT_TRUE(save.filterLabel == "JPEGファイル(*.jpg)" && save.filterPattern == "*.jpg" &&
              save.bufferSize == 250);
  EXPECT_TRUE(open.proposedName.empty() && open.mustExist);
  EXPECT_EQ(save.proposedName, dir + "/shown.jpg");
  EXPECT_FALSE(save.mustExist);  // a repaired copy can be saved under a new name
  EXPECT_TRUE(save.confirmOverwrite);

  EXPECT_EQ(dialogs.Texts(), Texts{});
  EXPECT_TRUE(file.bytes.empty() && form.LOG.lines.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST_F(FileCommands, SaveWritesExactlyTheHeldBytesUnderAnyCaseOfJpg) {
  file.bytes = {0xFF, 0xD8, 0xFF, 0xD9};
  Save(dir + "/OUT.JPG");
  Save(dir + "/mixed.JpG" + std::string(8, '\0') + "junk");  // the name ends at the first NUL
  Save(pathA);                                               // over a longer file
  EXPECT_EQ(dialogs.Texts(), Texts{});
  for (const std::string& p : {dir + "/OUT.JPG", dir + "/mixed.JpG", pathA})
    EXPECT_EQ(ReadFileBytes(p), file.bytes);
  EXPECT_EQ(fs::file_size(pathA), 4u);
}

TEST_F(FileCommands, SaveWithoutJpgEndingShowsTheMessageAndWritesNothing) {
  file.bytes = a;
  const Texts names = {"/out.jpeg", "/out", "/out.jpg.bak", "/jpg"};
  for (const std::string& name : names) Save(dir + name);
  EXPECT_EQ(dialogs.Texts(), Texts(4, "正しいファイル名を指定して下さい"));
  EXPECT_EQ(dialogs.messages[0].buttons, window::Buttons::Ok);
  for (const std::string& name : names) EXPECT_FALSE(fs::exists(dir + name)) << name;
}

TEST_F(FileCommands, FailedSavesReportAndKeepBothTheTargetAndTheProgramData) {
  file.bytes = {1, 2, 3};
  ASSERT_EQ(chmod(pathA.c_str(), 0444), 0);
  Save(pathA);
  Save(dir + "/missing/folder.jpg");
  EXPECT_EQ(dialogs.Texts(), (Texts{std::string(kReadOnly) + "\n書き込む権限がありません",
                                    "エラーが発生しました(76)\nフォルダがありません"}));
  EXPECT_EQ(ReadFileBytes(pathA), a);
  EXPECT_EQ(file.bytes, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(FileCommands, PathsOfMoreThan249CharactersAreRefusedNeverCut) {
  const std::string longest = PathOfCharacters(dir, 249), tooLong = PathOfCharacters(dir, 250);
  ASSERT_TRUE(WriteFileBytes(longest, a));
  Load(longest);
  EXPECT_EQ(dialogs.Texts(), Texts{});
  EXPECT_EQ(file.bytes, a);
  Save(tooLong);
  Load(tooLong);
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_TRUE(IsGenericError(dialogs.messages[0].text) && IsGenericError(dialogs.messages[1].text));
  EXPECT_FALSE(fs::exists(tooLong));
  EXPECT_EQ(form.Fname.text, longest);  // the refused name is not taken up
}

TEST_F(FileCommands, LoadReadsAnalysesAndDrawsAndTheLoadedFileSavesIdentically) {
  Load(pathA + std::string(3, '\0'));
  EXPECT_EQ(dialogs.Texts(), Texts{});
  EXPECT_EQ(form.Fname.text, pathA);
  EXPECT_EQ(file.bytes, a);
  EXPECT_EQ(form.STANA.text, "0");
  ASSERT_FALSE(form.LOG.lines.empty());
  EXPECT_EQ(form.LOG.lines[0], "00000000:画像開始が見つかりました");
  ASSERT_TRUE(form.SAVE.enabled);  // the clean decode enabled it
  dialogs.savePaths.push_back(dir + "/copy.jpg");
  EXPECT_TRUE(form.SAVE.Click());
  EXPECT_EQ(ReadFileBytes(dir + "/copy.jpg"), a);

  file.bytes[10] ^= 0xFF;  // an unsaved edit is lost when the same path loads again
  Load(pathA);
  EXPECT_EQ(file.bytes, a);
}

// A refused load leaves the window as it was: above all Fname, which the save dialog
// proposes, so that 保存 cannot write the old picture over the refused file.
TEST_F(FileCommands, FailedEmptyOrForeignLoadChangesNothingSaysWhyAndTheNextLoadWorks) {
  Load(pathA);
  const Texts log = form.LOG.lines;
  ASSERT_TRUE(form.SAVE.enabled);
  ASSERT_TRUE(WriteFileBytes(dir + "/empty.jpg", {}));
  ASSERT_TRUE(WriteFileBytes(dir + "/png.jpg", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}));
  fs::create_directory(dir + "/folder.jpg");
  const std::pair<std::string, std::string> cases[] = {
      {"/missing.jpg", "エラーが発生しました(53)\nファイルがありません"},
      {"/empty.jpg", "エラーが発生しました(62)\n空のファイルです"},
      {"/folder.jpg", std::string(kReadOnly) + "\nフォルダです"},
      {"/png.jpg", "PNGファイルです。JPEGファイルではありません"},  // and no analysis
  };
  for (const auto& [name, message] : cases) {
    dialogs.messages.clear();
    Load(dir + name);
    EXPECT_EQ(dialogs.Texts(), Texts{message}) << name;
    EXPECT_EQ(form.Fname.text, pathA) << name;
    EXPECT_EQ(file.bytes, a) << name;  // the held bytes, and with them FileLength, stay
    EXPECT_EQ(form.LOG.lines, log) << name;
    EXPECT_TRUE(form.SAVE.enabled) << name;
  }
  Load(pathB);
  EXPECT_EQ(file.bytes, b);
}

TEST_F(FileCommands, UnsavedChangesAreAskedAboutBeforeALoadADropAHandOverOrTheEnd) {
  const std::string other = dir + "/other.JFIF";
  ASSERT_TRUE(WriteFileBytes(other, b));
  const auto change = [this] {
    ASSERT_TRUE(ApplyChange(app, HistoryEntry{.Address = 10,
                                              .Length = file.FileLength(),
                                              .PutBack = {static_cast<uint8_t>(file.bytes[10] ^ 1)}}));
  };
  const std::pair<const char*, std::function<void()>> actions[] = {
      {"load", [&] { form.LOAD.Click(); }},
      {"drop", [&] { form.onPicture1Drop(true, {other}); }},
      {"hand-over", [&] { OpenFromAnotherInstance(app, other); }},
      {"quit", [&] { form.QUIT.Click(); }},
      {"close", [&] { form.RequestClose(); }},
  };
  Load(pathA);
  change();
  const ByteStore changed = file.bytes;
  dialogs.openRequests.clear();
  for (const auto& [what, act] : actions) {  // No: nothing happens
    dialogs.messages.clear();
    dialogs.answers = {window::Answer::No};
    act();
    EXPECT_EQ(dialogs.Texts(), Texts{kUnsavedQuestion}) << what;
    EXPECT_EQ(dialogs.messages.at(0).buttons, window::Buttons::YesNo) << what;
    EXPECT_TRUE(file.bytes == changed && form.Fname.text == pathA && !form.ended) << what;
  }
  EXPECT_TRUE(dialogs.openRequests.empty());  // asked before the dialog opens

  form.onPicture1Drop(true, {other});  // Yes
  EXPECT_EQ(file.bytes, b);
  change();
  Save(dir + "/saved.jpg");
  dialogs.messages.clear();
  Load(pathA);  // saved: nothing to ask
  EXPECT_EQ(dialogs.Texts(), Texts{});
  change();
  Save(dir + "/saved.jpg");
  form.UNDO.Click();  // an undo changes the bytes again
  form.QUIT.Click();  // Yes ends, without asking "終了します" as well
  EXPECT_EQ(dialogs.Texts(), Texts{kUnsavedQuestion});
  EXPECT_TRUE(form.ended);
}

TEST_F(FileCommands, LoadOfAFileTheUserMayNotReadSaysReadOnly) {
  ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  ASSERT_EQ(chmod(pathA.c_str(), 0), 0);  // readable by nobody but root
  EXPECT_EQ(testing::RunUnprivileged(
                dir,
                [this](const std::string& folder) {
                  Load(folder + "/a.jpg");
                  // Built in place: GCC 12 warns of a copy out of bounds for an
                  // initializer list of one string made here.
                  const Texts said(1, std::string(kReadOnly) + "\n読み取る権限がありません");
                  return dialogs.Texts() == said && file.bytes.empty() && form.Fname.text.empty() ? 0 : 1;
                }),
            0);
}

TEST_F(FileCommands, ADeviceIsRefusedAsAccessAtOnceAndChangesNothing) {
  Load(pathA);
  dialogs.messages.clear();
  Load("/dev/zero");  // would be read up to the 2 GB limit
  EXPECT_EQ(dialogs.Texts(), Texts{std::string(kReadOnly) + "\n通常のファイルではありません"});
  EXPECT_EQ(file.bytes, a);
}

TEST_F(FileCommands, DropLoadsTheFirstFileOnlyWhenItHasAJpegEndingInAnyCase) {
  EXPECT_EQ(form.onPicture1DragOver(true), window::DropEffect::Copy);
  EXPECT_EQ(form.onPicture1DragOver(false), window::DropEffect::None);
  const std::string upper = dir + "/UPPER.JPG";
  ASSERT_TRUE(WriteFileBytes(upper, b));
  for (const std::string name : {"/p.jpeg", "/p.JPE", "/p.Jfif"}) {
    ASSERT_TRUE(WriteFileBytes(dir + name, a));
    file.bytes.clear();
    form.onPicture1Drop(true, {dir + name});
    EXPECT_EQ(file.bytes, a) << name;
  }
  form.Fname.text.clear();
  file.bytes.clear();
  form.LOG.lines.clear();
  for (const std::string name : {"/p.jpeg.bak", "/pjpg", "/p.jfi"})
    ASSERT_TRUE(WriteFileBytes(dir + name, a));
  form.onPicture1Drop(true, {dir + "/p.jpeg.bak"});
  form.onPicture1Drop(true, {dir + "/pjpg"});
  form.onPicture1Drop(true, {dir + "/p.jfi"});
  form.onPicture1Drop(true, {dir + "/x.png", pathA});
  form.onPicture1Drop(false, {pathA});
  form.onPicture1Drop(true, {});
  EXPECT_TRUE(form.Fname.text.empty() && file.bytes.empty() && form.LOG.lines.empty());
  form.onPicture1Drop(true, {upper, pathA});
  EXPECT_EQ(form.Fname.text, upper);
  EXPECT_EQ(file.bytes, b);
  EXPECT_EQ(dialogs.Texts(), Texts{});
  form.onPicture1Drop(true, {dir + "/gone.jpg"});
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(IsGenericError(dialogs.messages[0].text));
}

TEST_F(FileCommands, OpenAtStartLoadsAnyNameAsALoadDoes) {
  const std::string jpeg = dir + "/photo.jpeg";
  ASSERT_TRUE(WriteFileBytes(jpeg, a));
  OpenAtStart(app, jpeg);
  EXPECT_EQ(dialogs.Texts(), Texts{});
  EXPECT_EQ(file.bytes, a);
  OpenAtStart(app, dir + "/gone.jpg");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(IsGenericError(dialogs.messages[0].text));
}

}  // namespace
}  // namespace vorn
