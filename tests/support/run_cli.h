// Runs the built vorn-cli as a user would and captures what it printed.
#pragma once

#include <string>
#include <vector>

namespace vorn::testing {

struct CliResult {
  int exitCode = -1;
  std::string out;  // stdout
  std::string err;  // stderr
  std::vector<std::string> OutLines() const;
  std::vector<std::string> ErrLines() const;
};

// args are passed to vorn-cli as they are (no shell). fileSizeLimit >= 0 caps the
// size of every file the process writes (RLIMIT_FSIZE, with SIGXFSZ ignored so
// that a write beyond it fails with EFBIG): a full file system, unprivileged.
CliResult RunCli(const std::vector<std::string>& args, long fileSizeLimit = -1);

// A fresh empty directory under the test temp dir, removed at process exit.
std::string TempDir();

}  // namespace vorn::testing
