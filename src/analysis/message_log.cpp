#include "analysis/message_log.h"

namespace vorn {

bool AddLogLine(window::ListBox& LOG, AnalysisState& analysis, std::string text, int32_t address) {
  const int n = analysis.LogLineCount;
  if (n < 0 || n >= kMaxLogLines || LOG.Count() >= kMaxLogLines) return false;
  LOG.AddItem(std::move(text));
  analysis.LineAddress[n] = address;
  ++analysis.LogLineCount;
  return true;
}

void ClearLog(window::ListBox& LOG, AnalysisState& analysis) {
  LOG.Clear();
  analysis.LogLineCount = 0;
}

}  // namespace vorn
