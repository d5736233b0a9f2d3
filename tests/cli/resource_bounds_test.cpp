// The time and memory one input may take: every vorn-cli subcommand, on adversarial
// files of up to 1 MB, runs in a child process under hard limits of CPU time and
// address space (setrlimit), and must end by itself, with one of its own exit
// codes. The limits are the stated bounds, far above what the inputs take (the
// test prints the measured figures), so the test is not a timing race. Only in the
// normal build: the sanitizers reserve terabytes of address space and run several
// times slower.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "support/jpeg_builder.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"

namespace vorn::testing {
namespace {

constexpr size_t kInputSize = 1 << 20;
constexpr double kCpuSeconds = 3.0;
constexpr rlim_t kAddressSpace = rlim_t{300} << 20;

using Bytes = std::vector<uint8_t>;

struct Usage {
  int status = 0;
  double cpuSeconds = 0;
  long maxRssKb = 0;
};

// Runs vorn-cli with args under the bounds; stdout and stderr are discarded.
Usage RunBounded(const std::vector<std::string>& args) {
  std::fflush(nullptr);  // or the child would print what the parent buffered
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit cpu{static_cast<rlim_t>(kCpuSeconds), static_cast<rlim_t>(kCpuSeconds) + 1};
    const rlimit as{kAddressSpace, kAddressSpace};
    if (setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_AS, &as) != 0) _exit(120);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(121);
    std::vector<std::string> copy = args;
    std::vector<char*> argv = {const_cast<char*>(VORN_CLI_PATH)};
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(VORN_CLI_PATH, argv.data());
    _exit(122);
  }
  Usage usage;
  rusage r{};
  wait4(pid, &usage.status, 0, &r);
  usage.cpuSeconds = static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                     static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
  usage.maxRssKb = r.ru_maxrss;
  return usage;
}

// A frame of the largest size the decoder takes, three components of 1 x 1 (the
// most blocks per pixel), the standard tables, then `scan` as entropy-coded data.
Bytes LargestFrame(const Bytes& scan, uint16_t restartInterval = 0) {
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt(0, StandardLuminanceQuant()).Dqt(1, StandardChrominanceQuant());
  b.Sof0(4000, 4000, YCbCr444()).DhtStandard();
  if (restartInterval > 0) b.Dri(restartInterval);
  b.Sos(YCbCrScan()).Raw(scan).Eoi();
  return b.Bytes();
}

Bytes Repeat(const Bytes& unit, size_t size) {
  Bytes out;
  while (out.size() + unit.size() <= size) out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

// Fills a file up to kInputSize with `unit` after its head.
Bytes Padded(Bytes head, const Bytes& unit) {
  const Bytes tail = Repeat(unit, kInputSize - head.size());
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (uint8_t& b : out) b = static_cast<uint8_t>(rng() >> 24);
  return out;
}

struct Input {
  std::string name;
  Bytes bytes;
};

std::vector<Input> AdversarialInputs() {
  const Bytes photo = EncodePhotoLike({});
  std::vector<Input> inputs;
  // Markers from start to end: the scan stops at its limit of lines.
  inputs.push_back({"many-markers", Padded({0xFF, 0xD8}, {0xFF, 0x01})});
  // Long-segment markers in turn: every one parsed and length-checked.
  inputs.push_back({"many-segments", Padded({0xFF, 0xD8}, {0xFF, 0xFE, 0x00, 0x04, 0x81, 0x40})});
  // One megabyte of fill bytes in the scan data and after the EOI.
  Bytes fill = photo;
  fill.insert(fill.end() - 2, kInputSize / 2, 0xFF);
  inputs.push_back({"long-fill-runs", Padded(fill, {0xFF})});
  // The largest frame with almost no data: the picture is made, the decode fails.
  inputs.push_back({"huge-frame-tiny-data", LargestFrame({0x12, 0x34, 0x56})});
  // A restart marker after every byte, a restart interval of one MCU.
  inputs.push_back(
      {"many-restart-markers",
       LargestFrame(Repeat({0x00, 0xFF, 0xD0, 0x00, 0xFF, 0xD1, 0x00, 0xFF, 0xD2}, kInputSize - 800), 1)});
  // Random scan data without FF bytes (which would end the scan as markers): the
  // decode, the trace and every trial of the search run into error paths.
  Bytes noise = RandomBytes(kInputSize - 800, 7);
  std::replace(noise.begin(), noise.end(), uint8_t{0xFF}, uint8_t{0xFE});
  inputs.push_back({"random-scan", LargestFrame(noise)});
  // Stuffed zeros only: FF 00 as far as the data goes.
  inputs.push_back({"stuffed-zeros", LargestFrame(Repeat({0xFF, 0x00}, kInputSize - 800))});
  // Random bytes as the whole file.
  inputs.push_back({"random-whole-file", RandomBytes(kInputSize, 11)});
  for (const Input& in : inputs) EXPECT_LE(in.bytes.size(), kInputSize) << in.name;
  return inputs;
}

TEST(ResourceBounds, NoInputOfUpTo1MbTakesMoreThan3SecondsOr300MbInAnySubcommand) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the bounds hold for the normal build";
#endif
  const std::string dir = TempDir();
  for (const Input& in : AdversarialInputs()) {
    const std::string path = dir + "/" + in.name + ".jpg";
    ASSERT_TRUE(WriteFileBytes(path, in.bytes));
    const std::vector<std::vector<std::string>> commands = {
        {"analyze", "--fields", path},
        {"decode", path, "-o", dir + "/out.bmp"},
        {"decode", path, "-o", dir + "/out.png"},
        {"mcu", path, "0", "0"},
        {"trace", path, "0", "0"},
        {"bitcheck", path, "0", "0"},
        {"bitcheck", path, "499", "499"},
        {"fix", path, "00000100-3", "-o", dir + "/fixed.jpg"},
        {"check", path},
        {"repair", path, "-o", dir + "/repaired.jpg"},
        {"salvage", path, "-o", dir + "/salvaged.jpg"},
    };
    double cpu = 0;
    long rssKb = 0;
    std::string cpuCommand;
    for (const auto& args : commands) {
      const Usage u = RunBounded(args);
      const std::string what =
          args[0] + (args[0] == "decode" ? " " + args[3].substr(args[3].size() - 3) : "");
      // Exit 5: salvaged (its own code; the others end with 0, 1 or 2 here).
      const int mostExit = args[0] == "salvage" ? 5 : 2;
      EXPECT_TRUE(WIFEXITED(u.status) && WEXITSTATUS(u.status) <= mostExit)
          << in.name << ": " << what
          << (WIFSIGNALED(u.status) ? ": signal " + std::to_string(WTERMSIG(u.status))
                                    : ": exit " + std::to_string(WEXITSTATUS(u.status)))
          << " after " << u.cpuSeconds << " s";
      if (u.cpuSeconds > cpu) cpu = u.cpuSeconds, cpuCommand = what;
      rssKb = std::max(rssKb, u.maxRssKb);
    }
    std::printf("%-22s most CPU %.2f s (%s), most memory %ld MB resident\n", in.name.c_str(), cpu,
                cpuCommand.c_str(), rssKb / 1024);
  }
}

}  // namespace
}  // namespace vorn::testing
