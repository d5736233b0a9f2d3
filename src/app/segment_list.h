// What a click and a double click on a line of LOG do.
#pragma once

#include <cstdint>

#include "app/app_state.h"

namespace vorn {

void LOG_Click(AppState& app, int index);
void LOG_DblClick(AppState& app, int index);

enum class StartChange { Declined, NotAMarker, Stopped, Completed };

// Asks "解析開始位置を変更しますか"; on Yes, when p is an FF byte before the last
// byte, makes p the analysis start and analyses again (and, when render is set and
// the analysis completed, renders). Otherwise shows
// "マーカー（FFデータ）位置を指定してください" and changes nothing.
StartChange ChangeAnalysisStart(AppState& app, int32_t p, bool render = true);

// What ChangeAnalysisStart does after Yes for a marker at p: AnalysisStart and STANA
// become p, the analysis runs again and, when render is set and it completed, the
// picture is rendered. A start at or after AnalysisEnd clears it. Returns Stopped or
// Completed.
StartChange RestartAnalysisAt(AppState& app, int32_t p, bool render = true);

}  // namespace vorn
