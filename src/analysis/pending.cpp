// Placeholders until the analysis lands; each is deleted as it is implemented.
#include "analysis/marker_analysis.h"
#include "app/wiring.h"

namespace vorn {
void FillMarkerName(AnalysisState&) {}
bool AnalyzeMarkers(AppState&) { return false; }
void ResetSegmentFields(AppState&) {}
LoadResult LoadFileImage(AppState&, const std::string&, bool) { return {}; }
FileError ReadWholeFile(const std::string&, std::vector<uint8_t>&) { return {1}; }
void WireAnalysisHandlers(AppState&) {}
}  // namespace vorn
