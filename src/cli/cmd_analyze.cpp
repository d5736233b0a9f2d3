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

void PrintFields(const WindowModel& form) {
  const std::pair<const char*, const Label*> single[] = {
      {"APP0LEN", &form.APP0LEN}, {"APP0ID", &form.APP0ID},   {"APP0v1", &form.APP0v1},
      {"APP0v2", &form.APP0v2},   {"APP0U", &form.APP0U},     {"APP0Xd", &form.APP0Xd},
      {"APP0Yd", &form.APP0Yd},   {"APP0ETC", &form.APP0ETC}, {"COMLEN", &form.COMLEN},
      {"COM", &form.COM},         {"DQTLEN", &form.DQTLEN},   {"DQTPq", &form.DQTPq},
      {"DQTTq", &form.DQTTq},     {"SOF0LEN", &form.SOF0LEN}, {"SOF0P", &form.SOF0P},
      {"SOF0Y", &form.SOF0Y},     {"SOF0X", &form.SOF0X},     {"SOF0Nf", &form.SOF0Nf},
      {"DHTLEN", &form.DHTLEN},   {"DHTTc", &form.DHTTc},     {"DHTTh", &form.DHTTh},
      {"SOSLEN", &form.SOSLEN},   {"SOSNs", &form.SOSNs},     {"SOSSs", &form.SOSSs},
      {"SOSSe", &form.SOSSe},     {"SOSAh", &form.SOSAh},     {"SOSAl", &form.SOSAl},
      {"DRILEN", &form.DRILEN},   {"DRI", &form.DRI},
  };
  for (const auto& [name, label] : single) PrintField(name, label->text);
  PrintArray("Qtbl", form.Qtbl);
  PrintArray("SOF0Ci", form.SOF0Ci);
  PrintArray("SOF0Hi", form.SOF0Hi);
  PrintArray("SOF0Vi", form.SOF0Vi);
  PrintArray("SOF0Tqi", form.SOF0Tqi);
  PrintArray("SOSCsi", form.SOSCsi);
  PrintArray("SOSTdi", form.SOSTdi);
  PrintArray("SOSTai", form.SOSTai);
  for (size_t k = 0; k < form.Htbl.lines.size(); ++k) {
    PrintField("Htbl[" + std::to_string(k) + ']', form.Htbl.lines[k]);
  }
}

}  // namespace

int RunAnalyze(std::vector<std::string> args) {
  CommonOptions options;
  if (!TakeCommonOptions(args, options)) return kExitError;
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
  const WindowModel& form = session.state.form;
  for (const std::string& line : form.LOG.lines) std::cout << line << '\n';
  if (fields) PrintFields(form);
  return completed ? kExitOk : kExitStopped;
}

}  // namespace vorn::cli
