// vorn-cli decode [--start HEX] FILE -o OUT: analysis, rendering, the picture written.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/image_files.h"
#include "decode/decode_scan.h"

namespace vorn::cli {

int RunDecode(std::vector<std::string> args) {
  CommonOptions options;
  if (!TakeCommonOptions(args, options)) return kExitError;
  std::string input;
  std::string output;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return UsageError("decode: -o needs a file name");
      output = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return UsageError("decode: unknown option " + args[i]);
    } else if (input.empty()) {
      input = args[i];
    } else {
      return UsageError("decode: more than one input file");
    }
  }
  if (input.empty() || output.empty()) return UsageError("decode: usage: decode [--start HEX] FILE -o OUT");
  const ImageFormat format = ImageFormatOf(output);
  if (format == ImageFormat::Unknown) return UsageError("decode: the output must end in .bmp or .png");
  if (const int refused = CheckOutput(output, false); refused != kExitOk) return refused;

  CliSession session;
  bool completed = false;
  const int loaded = LoadAndAnalyse(session, input, options, true, completed);
  if (loaded != kExitOk) return loaded;
  if (!completed) return kExitStopped;
  const DecodeState& d = session.state.decode;
  if (!d.LastStatus) {
    std::cerr << "vorn-cli: decode: nothing was decoded\n";
    return kExitStopped;
  }
  // A partial picture is written as well: it shows where the damage begins.
  std::string error;
  const bool written = format == ImageFormat::Bmp
                           ? WriteBmp(output, d.ImagePixels, d.ImageWidth, d.ImageHeight, error)
                           : WritePng(output, d.ImagePixels, d.ImageWidth, d.ImageHeight, error);
  std::cout << "status " << static_cast<int>(*d.LastStatus);
  if (!written) {
    std::cout << " (not written: " << error << ")\n";
    std::cerr << "vorn-cli: cannot write " << output << " (" << error << ")\n";
    return kExitNotWritten;
  }
  std::cout << '\n';
  return d.LastStatus == DecodeStatus::Ok ? kExitOk : kExitStopped;
}

}  // namespace vorn::cli
