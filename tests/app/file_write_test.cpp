// Whole-file writing: the target is replaced atomically and a refused write never
// touches it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "analysis/file_errors.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "unprivileged.h"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

const std::vector<uint8_t> kShort = {0xFF, 0xD8, 0x01, 0x02, 0xFF, 0xD9};
const std::vector<uint8_t> kLong(40, 0xAB);

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

int EntryCount(const std::string& folder) {
  return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(WriteWholeFile, NewFilesGetTheUmaskAndReplacedFilesKeepPermissionsAndGetExactlyTheNewBytes) {
  const std::string dir = TempDir();
  const mode_t old = umask(022);
  ASSERT_TRUE(WriteWholeFile(dir + "/new.jpg", kShort).ok());
  umask(old);
  EXPECT_EQ(ModeOf(dir + "/new.jpg"), 0644u);

  ASSERT_TRUE(WriteFileBytes(dir + "/old.jpg", kLong));
  ASSERT_EQ(chmod((dir + "/old.jpg").c_str(), 0640), 0);
  ASSERT_TRUE(WriteWholeFile(dir + "/old.jpg", kShort).ok());
  EXPECT_EQ(ReadFileBytes(dir + "/old.jpg"), kShort);
  EXPECT_EQ(ModeOf(dir + "/old.jpg"), 0640u);

  // A name near the 255-byte limit still leaves room for the temporary file's.
  const std::string longName = dir + "/" + std::string(250, 'n') + ".jpg";
  ASSERT_TRUE(WriteWholeFile(longName, kShort).ok());
  EXPECT_EQ(ReadFileBytes(longName), kShort);
  EXPECT_EQ(EntryCount(dir), 3);  // no temporary file left behind
}

TEST(WriteWholeFile, ThroughASymbolicLinkReplacesTheLinkedFileAndKeepsTheLink) {
  const std::string dir = TempDir();
  ASSERT_TRUE(WriteFileBytes(dir + "/real.jpg", kLong));
  fs::create_symlink("real.jpg", dir + "/link.jpg");
  ASSERT_TRUE(WriteWholeFile(dir + "/link.jpg", kShort).ok());
  EXPECT_TRUE(fs::is_symlink(dir + "/link.jpg"));
  EXPECT_EQ(ReadFileBytes(dir + "/real.jpg"), kShort);
}

TEST(WriteWholeFile, ReadOnlyFileFolderOrDirectoryIsRefusedAsAccessAndLeftAlone) {
  const std::string dir = TempDir();
  // A rename would replace a read-only file silently, and root is not stopped by the
  // permission bits at all: the check is made before writing.
  ASSERT_TRUE(WriteFileBytes(dir + "/locked.jpg", kLong));
  ASSERT_EQ(chmod((dir + "/locked.jpg").c_str(), 0444), 0);
  EXPECT_EQ(WriteWholeFile(dir + "/locked.jpg", kShort).code, kAccessRefused);
  EXPECT_EQ(ReadFileBytes(dir + "/locked.jpg"), kLong);
  fs::create_directory(dir + "/folder.jpg");
  EXPECT_EQ(WriteWholeFile(dir + "/folder.jpg", kShort).code, kAccessRefused);

  // As an ordinary user: someone else's file (the folder would allow the rename) and
  // a folder without write permission.
  const auto write = [](const std::string& name) {
    return [name](const std::string& folder) { return WriteWholeFile(folder + name, kShort).code; };
  };
  ASSERT_TRUE(WriteFileBytes(dir + "/theirs.jpg", kLong));
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  EXPECT_EQ(testing::RunUnprivileged(dir, write("/theirs.jpg")), kAccessRefused);
  EXPECT_EQ(ReadFileBytes(dir + "/theirs.jpg"), kLong);
  EXPECT_EQ(testing::RunUnprivileged(dir, write("/mine.jpg")), 0);  // where allowed it writes
  fs::remove(dir + "/mine.jpg");
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  EXPECT_EQ(testing::RunUnprivileged(dir, write("/mine.jpg")), kAccessRefused);
  chmod(dir.c_str(), 0755);
  EXPECT_EQ(EntryCount(dir), 3);
}

TEST(WriteWholeFile, MissingFolderIsAnotherFailure) {
  const std::string dir = TempDir();
  const FileError e = WriteWholeFile(dir + "/no/such/x.jpg", kShort);
  EXPECT_FALSE(e.ok() || e.code == kAccessRefused);
  EXPECT_EQ(EntryCount(dir), 0);
}

TEST(FileErrors, RefusedAccessIsCode75WithItsOwnMessageEverythingElseANumber) {
  for (int err : {EACCES, EPERM, EROFS}) EXPECT_EQ(FileErrorFromErrno(err).code, kAccessRefused) << err;
  for (int err : {ENOENT, EIO, ENOSPC, EMFILE})
    EXPECT_FALSE(FileErrorFromErrno(err).ok() || FileErrorFromErrno(err).code == kAccessRefused) << err;
  EXPECT_EQ(FileErrorMessage({kAccessRefused}), "読み取り専用です");
  EXPECT_EQ(FileErrorMessage({53}), "エラーが発生しました(53)");
}

}  // namespace
}  // namespace vorn
