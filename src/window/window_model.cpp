#include "window/window_model.h"

namespace vorn::window {

namespace {
const char* const kHexDigit = "0123456789ABCDEF";
}

WindowModel::WindowModel() {
  MODE.caption = "F";
  IMAGE.caption = "ｲﾒｰｼﾞ表示";
  MCUCHK.caption = "MCU調査";
  BITCHK.caption = "1ﾋﾞｯﾄ補正";
  LIMAGE.caption = "補正ｲﾒｰｼﾞx1";
  UNDO.caption = "元に戻す";
  LOAD.caption = "読込";
  SAVE.caption = "保存";
  QUIT.caption = "終了";
  REDO.caption = "やり直し";
  for (Command* c : {&IMAGE, &MCUCHK, &BITCHK, &UNDO, &SAVE, &REDO}) c->enabled = false;

  Picture1.ResizeBlank(417, 433);
  Picture2.ResizeBlank(96, 32);
  Picture3.ResizeBlank(17, 17);

  DMPFUP.caption = "<<";
  DMPUP.caption = "<";
  DMPDOWN.caption = ">";
  DMPFDOWN.caption = ">>";
  for (int i = 0; i < 16; ++i) {
    DMPL[i].text = std::string(1, kHexDigit[i]);
    DMPL[i].back = kGrey;
    // Row labels read 0, 10, 20 ... F0 before the first file.
    DMPH[i].text = i == 0 ? "0" : std::string(1, kHexDigit[i]) + "0";
    DMPH[i].back = kGrey;
  }

  DQTUP.caption = "<";
  DQTDOWN.caption = ">";
  DHTUP.caption = "<";
  DHTDOWN.caption = ">";

  LOCATE.caption = "破損位置へ移動";
  REPAIR.caption = "自動修復";
  SALVAGE.caption = "救出";
  LOCATE.enabled = false;
  REPAIR.enabled = false;
  SALVAGE.enabled = false;
  ABOUT.caption = "バージョン情報";

  const MenuItem separator;
  menuBar = {
      {"ファイル",
       {{"読込", {"Ctrl+O"}, &LOAD}, {"保存", {"Ctrl+S"}, &SAVE}, separator, {"終了", {"Ctrl+Q"}, &QUIT}}},
      {"編集", {{"元に戻す", {"Ctrl+Z"}, &UNDO}, {"やり直し", {"Ctrl+Y", "Ctrl+Shift+Z"}, &REDO}}},
      {"表示", {{"イメージ表示", {"F5"}, &IMAGE}, {"表示幅の切替", {}, &MODE}}},
      {"修復", {{LOCATE.caption, {}, &LOCATE}, {REPAIR.caption, {}, &REPAIR}, {SALVAGE.caption, {}, &SALVAGE}}},
      {"ヘルプ", {{ABOUT.caption, {}, &ABOUT}}},
  };
}

}  // namespace vorn::window
