// Whole-file writing: the target is replaced atomically and a refused write never
// touches it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
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
  // An export, not flushed, replaces the file by exchanging names: the same outcome.
  const FileContentWriter longContent = [](const FilePieceWriter& write) { return write(kLong); };
  ASSERT_TRUE(WriteWholeFileFrom(dir + "/old.jpg", longContent, WriteFlush::Deferred).ok());
  EXPECT_EQ(ReadFileBytes(dir + "/old.jpg"), kLong);
  EXPECT_EQ(ModeOf(dir + "/old.jpg"), 0640u);

  // A name near the 255-byte limit still leaves room for the temporary file's.
  const std::string longName = dir + "/" + std::string(250, 'n') + ".jpg";
  ASSERT_TRUE(WriteWholeFile(longName, kShort).ok());
  EXPECT_EQ(ReadFileBytes(longName), kShort);
  EXPECT_EQ(EntryCount(dir), 3);  // no temporary file left behind
}

TEST(WriteWholeFile, ThroughASymbolicLinkWritesTheNamedFileAndKeepsTheLinkEvenWhenItDangles) {
  const std::string dir = TempDir();
  fs::create_directory(dir + "/sub");
  ASSERT_TRUE(WriteFileBytes(dir + "/real.jpg", kLong));
  fs::create_symlink("real.jpg", dir + "/link.jpg");
  fs::create_symlink("nothere.jpg", dir + "/dangling.jpg");    // ln -s nothere.jpg out.jpg
  fs::create_symlink("../chain.jpg", dir + "/sub/first.jpg");  // relative to its own folder
  fs::create_symlink("sub/last.jpg", dir + "/chain.jpg");
  fs::create_symlink(dir + "/sub/absolute.jpg", dir + "/absolute.jpg");
  fs::create_symlink("loop.jpg", dir + "/loop.jpg");
  for (const char* link : {"/link.jpg", "/dangling.jpg", "/sub/first.jpg", "/absolute.jpg"}) {
    ASSERT_TRUE(WriteWholeFile(dir + link, kShort).ok()) << link;
    EXPECT_TRUE(fs::is_symlink(dir + link)) << link;
  }
  for (const char* named : {"/real.jpg", "/nothere.jpg", "/sub/last.jpg", "/sub/absolute.jpg"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir + named))) << named;
    EXPECT_EQ(ReadFileBytes(dir + named), kShort) << named;
  }
  const FileError loop = WriteWholeFile(dir + "/loop.jpg", kShort);
  EXPECT_FALSE(loop.ok() || loop.code == kAccessRefused);
  EXPECT_TRUE(fs::is_symlink(dir + "/loop.jpg"));
  EXPECT_EQ(EntryCount(dir), 8);
}

TEST(WriteWholeFile, AFileWithSeveralHardLinksGetsTheNewBytesUnderEveryNameOrKeepsItsOld) {
  const std::string dir = TempDir();
  ASSERT_TRUE(WriteFileBytes(dir + "/a.jpg", kLong));
  fs::create_hard_link(dir + "/a.jpg", dir + "/b.jpg");
  ASSERT_EQ(chmod((dir + "/a.jpg").c_str(), 0604), 0);
  struct stat before {};
  ASSERT_EQ(stat((dir + "/a.jpg").c_str(), &before), 0);
  ASSERT_TRUE(WriteWholeFile(dir + "/a.jpg", kShort).ok());
  struct stat after {};
  ASSERT_EQ(stat((dir + "/a.jpg").c_str(), &after), 0);
  EXPECT_EQ(ReadFileBytes(dir + "/b.jpg"), kShort);
  EXPECT_EQ(ReadFileBytes(dir + "/a.jpg"), kShort);
  EXPECT_TRUE(after.st_ino == before.st_ino && after.st_nlink == 2 && (after.st_mode & 07777) == 0604);
  EXPECT_EQ(EntryCount(dir), 2);

  // A rewrite that fails half-way (here at a file size limit, as on a full disk)
  // leaves the old content under both names and no copy behind.
  ASSERT_TRUE(WriteFileBytes(dir + "/a.jpg", kLong));
  const std::vector<uint8_t> longer(kLong.size() + 4096, 0x5A);
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kLong.size() + 100, kLong.size() + 100};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(255);
    _exit(WriteWholeFile(dir + "/a.jpg", longer).code & 0xFF);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_FALSE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 255) << WEXITSTATUS(status);
  EXPECT_EQ(ReadFileBytes(dir + "/a.jpg"), kLong);
  EXPECT_EQ(ReadFileBytes(dir + "/b.jpg"), kLong);
  EXPECT_EQ(EntryCount(dir), 2);

  // A process that dies half-way through the rewrite (killed here by the size
  // limit's signal) leaves the copy of the old content, no more readable than the
  // file itself: a private file's bytes never become readable by others.
  ASSERT_EQ(chmod((dir + "/a.jpg").c_str(), 0600), 0);
  const pid_t killed = fork();
  if (killed == 0) {
    umask(022);
    const rlimit none{0, 0};
    const rlimit limit{kLong.size() + 100, kLong.size() + 100};
    if (setrlimit(RLIMIT_CORE, &none) != 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(255);
    _exit(WriteWholeFile(dir + "/a.jpg", longer).code & 0xFF);
  }
  waitpid(killed, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  std::vector<std::string> copies;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().front() == '.') copies.push_back(entry.path().string());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadFileBytes(copies[0]), kLong);
  EXPECT_EQ(ModeOf(copies[0]), 0600u);
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
  // A FIFO (or a device) under the name has no content to replace: it stays.
  ASSERT_EQ(mkfifo((dir + "/pipe.jpg").c_str(), 0666), 0);
  EXPECT_EQ(WriteWholeFile(dir + "/pipe.jpg", kShort).code, kAccessRefused);
  EXPECT_TRUE(fs::is_fifo(dir + "/pipe.jpg"));

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
  EXPECT_EQ(EntryCount(dir), 4);
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
