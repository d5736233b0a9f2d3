#include "support/run_cli.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#ifndef VORN_CLI_PATH
#define VORN_CLI_PATH "vorn-cli"
#endif

namespace vorn::testing {

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct TempRoot {
  std::filesystem::path path;
  TempRoot() {
    std::string templ = (std::filesystem::temp_directory_path() / "vorn-test-XXXXXX").string();
    path = mkdtemp(templ.data());
  }
  ~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

TempRoot& Root() {
  static TempRoot root;
  return root;
}

}  // namespace

std::vector<std::string> CliResult::OutLines() const {
  return SplitLines(out);
}
std::vector<std::string> CliResult::ErrLines() const {
  return SplitLines(err);
}

std::string TempDir() {
  static int counter = 0;
  auto dir = Root().path / std::to_string(++counter);
  std::filesystem::create_directories(dir);
  return dir.string();
}

CliResult RunCli(const std::vector<std::string>& args, long fileSizeLimit) {
  const std::string dir = TempDir();
  const std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
  CliResult result;
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    std::string exe = VORN_CLI_PATH;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr)) _exit(127);
    if (fileSizeLimit >= 0) {
      signal(SIGXFSZ, SIG_IGN);  // kept across exec
      const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = Slurp(outPath);
  result.err = Slurp(errPath);
  return result;
}

}  // namespace vorn::testing
