// Test input written to a file of its own, for commands that take a path.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/libjpeg_peer.h"
#include "support/run_cli.h"

namespace vorn::testing {

// Writes bytes to name in a fresh temporary folder and returns the path.
inline std::string WriteTempFile(const std::vector<uint8_t>& bytes, const std::string& name = "in.jpg") {
  const std::string path = TempDir() + "/" + name;
  EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
  return path;
}

}  // namespace vorn::testing
