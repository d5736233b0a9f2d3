// vorn-cli analyze [--start HEX] [--fields] FILE: the marker list, and on request
// the fields of the segment and table areas.
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_session.h"

namespace vorn::cli {
namespace {

using window::Label;
using window::WindowModel;

// One field per line, as the message lines are printed.
void PrintField(const std::string& name, const std::string& value) {
  if (!value.empty()) std::cout << name << '=' << OneLine(value) << '\n';
}

template <size_t N>
void PrintArray(const std::string& name, const std::array<Label, N>& labels) {
  for (size_t k = 0; k < N; ++k) PrintField(name + '[' + std::to_string(k) + ']', labels[k].text);
}

void PrintFields(const WindowModel& w) {
  const std::pair<const char*, const Label*> single[] = {
      {"APP0LEN", &w.APP0LEN}, {"APP0ID", &w.APP0ID},   {"APP0v1", &w.APP0v1}, {"APP0v2", &w.APP0v2},
      {"APP0U", &w.APP0U},     {"APP0Xd", &w.APP0Xd},   {"APP0Yd", &w.APP0Yd}, {"APP0ETC", &w.APP0ETC},
      {"COMLEN", &w.COMLEN},   {"COM", &w.COM},         {"DQTLEN", &w.DQTLEN}, {"DQTPq", &w.DQTPq},
      {"DQTTq", &w.DQTTq},     {"SOF0LEN", &w.SOF0LEN}, {"SOF0P", &w.SOF0P},   {"SOF0Y", &w.SOF0Y},
      {"SOF0X", &w.SOF0X},     {"SOF0Nf", &w.SOF0Nf},   {"DHTLEN", &w.DHTLEN}, {"DHTTc", &w.DHTTc},
      {"DHTTh", &w.DHTTh},     {"SOSLEN", &w.SOSLEN},   {"SOSNs", &w.SOSNs},   {"SOSSs", &w.SOSSs},
      {"SOSSe", &w.SOSSe},     {"SOSAh", &w.SOSAh},     {"SOSAl", &w.SOSAl},   {"DRILEN", &w.DRILEN},
      {"DRI", &w.DRI},
  };
  for (const auto& [name, label] : single) PrintField(name, label->text);
  PrintArray("Qtbl", w.Qtbl);
  PrintArray("SOF0Ci", w.SOF0Ci);
  PrintArray("SOF0Hi", w.SOF0Hi);
  PrintArray("SOF0Vi", w.SOF0Vi);
  PrintArray("SOF0Tqi", w.SOF0Tqi);
  PrintArray("SOSCsi", w.SOSCsi);
  PrintArray("SOSTdi", w.SOSTdi);
  PrintArray("SOSTai", w.SOSTai);
  for (size_t k = 0; k < w.Htbl.lines.size(); ++k) {
    PrintField("Htbl[" + std::to_string(k) + ']', w.Htbl.lines[k]);
  }
}

}  // namespace

int RunAnalyze(std::vector<std::string> args) {
  CommonOptions options;
  if (!TakeStartOption(args, options)) return kExitError;
  bool fields = false;
  std::string input;
  for (const std::string& arg : args) {
    if (arg == "--fields") {
      fields = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("analyze: unknown option " + arg);
    } else if (input.empty()) {
      input = arg;
    } else {
      return UsageError("analyze: more than one input file");
    }
  }
  if (input.empty()) return UsageError("analyze: usage: analyze [--start HEX] [--fields] FILE");

  CliSession session;
  bool completed = false;
  const int loaded = LoadAndAnalyse(session, input, options, false, completed);
  if (loaded != kExitOk) return loaded;
  const WindowModel& w = session.state.w;
  for (const std::string& line : w.LOG.lines) std::cout << line << '\n';
  if (fields) PrintFields(w);
  return completed ? kExitOk : kExitStopped;
}

}  // namespace vorn::cli
