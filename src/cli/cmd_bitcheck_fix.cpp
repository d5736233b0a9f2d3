// vorn-cli bitcheck [--start HEX] FILE COL ROW: the single-bit search at an MCU.
// vorn-cli fix FILE POS-BIT -o OUT.jpg: one bit set, saved as the save command does.
#include <iostream>

#include "app/file_commands.h"
#include "app/inspect_handlers.h"
#include "cli/cli_session.h"
#include "cli/press_mcu.h"

namespace vorn::cli {

namespace {

// "00001A2B-5" as a candidate line begins: hexadecimal position, '-', bit 0..7.
bool ParsePositionBit(const std::string& text, int32_t& position, int32_t& bit) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos || dash + 2 != text.size()) return false;
  const char digit = text[dash + 1];
  if (digit < '0' || digit > '7') return false;
  bit = digit - '0';
  return ParseHex(text.substr(0, dash), position);
}

}  // namespace

int RunBitcheck(std::vector<std::string> args) {
  CommonOptions options;
  if (!TakeCommonOptions(args, options)) return kExitError;
  int32_t column = 0;
  int32_t row = 0;
  if (args.size() != 3 || !ParseDecimal(args[1], column) || !ParseDecimal(args[2], row)) {
    return UsageError("bitcheck: usage: bitcheck [--start HEX] FILE COL ROW");
  }
  CliSession session;
  bool completed = false;
  // The candidates are rated against the picture line above each of the three traced
  // MCUs (the third may wrap to the next row) and the column left of the first: all
  // in MCU rows ROW - 1 and ROW, the only pixels made.
  const int loaded = LoadAndAnalyse(session, args[0], options, true, completed, PixelRows{row - 1, row});
  if (loaded != kExitOk) return loaded;
  if (!completed) return kExitStopped;
  const int pressed = PressMcu(session, column, row);
  if (pressed != kExitOk) return pressed;
  BITCHK_Click(session.state);
  for (const std::string& line : session.state.form.LOG.lines) std::cout << line << '\n';
  return kExitOk;
}

int RunFix(std::vector<std::string> args) {
  std::vector<std::string> positional;
  std::string output;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return UsageError("fix: -o needs a file name");
      output = args[++i];
    } else {
      positional.push_back(args[i]);
    }
  }
  int32_t position = 0;
  int32_t bit = 0;
  if (positional.size() != 2 || output.empty() || !ParsePositionBit(positional[1], position, bit)) {
    return UsageError("fix: usage: fix FILE POS-BIT -o OUT.jpg (POS-BIT as 00001A2B-5)");
  }
  if (const int refused = CheckOutput(output, true); refused != kExitOk) return refused;
  CliSession session;
  const std::string& input = positional[0];
  ByteStore bytes;
  const FileError read = ReadWholeFile(input, bytes);
  if (!read.ok()) return ReadFailure(input, read);
  if (position < 0 || static_cast<size_t>(position) >= bytes.size()) {
    return UsageError("fix: position " + positional[1] + " lies beyond the end of " + input);
  }
  bytes[static_cast<size_t>(position)] |= static_cast<uint8_t>(0x80 >> bit);

  // The save command itself writes, as after a save dialog answered with OUT.
  const FileError written = SaveBytes(session.dialogs, bytes, output);
  return written.ok() ? kExitOk : WriteFailure(output, written);
}

}  // namespace vorn::cli
