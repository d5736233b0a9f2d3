// The main window F_main as plain state: every field, command, list, picture and
// scroll bar, named as the handlers know them. Static captions and titles (fixed
// texts nothing changes) live only in the view's layout table.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "window/elements.h"
#include "window/menu.h"

namespace vorn::window {

enum class DropEffect { None, Copy };

struct WindowModel {
  WindowModel();
  // The menu items point into this model: it is never copied or moved.
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  std::string title = "Vorn0.95β";
  int outerWidth = 470;  // compact at start; 1024 when full
  int clientHeight = 716;
  // Asked on every close request; returns whether the window may close.
  std::function<bool()> onCloseRequest;
  bool ended = false;  // the program has ended (the view closes itself)

  // Image area.
  Command MODE;
  Picture Picture1;  // the view, 417 x 433
  Picture Picture2;  // the correction preview, 96 x 32
  Picture Picture3;  // hidden: the whole decoded picture
  ScrollBar VScroll1;
  ScrollBar HScroll1;
  Command IMAGE, MCUCHK, BITCHK, LIMAGE, UNDO, LOAD, SAVE, QUIT, REDO;
  Label Fname;
  ListBox LOG;
  // Files dragged over / dropped on Picture1.
  std::function<DropEffect(bool hasFileList)> onPicture1DragOver;
  std::function<void(bool hasFileList, const std::vector<std::string>& paths)> onPicture1Drop;

  // Input field and MCU information.
  TextField DMPI;
  Label MCUX, MCUY, MCUBYTE, MCUBIT;
  std::array<Label, 3> DCV;
  Label STANA;

  // Dump area.
  Command DMPFUP, DMPUP, DMPDOWN, DMPFDOWN;
  std::array<Label, 16> DMPL;
  std::array<Label, 16> DMPH;
  std::array<Label, 256> DMP;
  std::function<void(int)> onDmpClick;
  void DMP_ClickEvent(int index) {
    if (onDmpClick) onDmpClick(index);
  }

  // APP0.
  Label APP0LEN, APP0ID, APP0v1, APP0v2, APP0U, APP0Xd, APP0Yd, APP0ETC;
  // Frame header.
  Label SOF0LEN, SOF0P, SOF0X, SOF0Y, SOF0Nf;
  std::array<Label, 3> SOF0Ci, SOF0Hi, SOF0Vi, SOF0Tqi;
  // Comment.
  Label COMLEN, COM;
  // Quantization tables.
  Label DQTLEN, DQTPq, DQTTq;
  Command DQTUP, DQTDOWN;
  std::array<Label, 64> Qtbl;  // element k at the k-th zig-zag position of the grid
  // Huffman tables.
  Label DHTLEN, DHTTc, DHTTh;
  Command DHTUP, DHTDOWN;
  ListBox Htbl;
  // Scan header.
  Label SOSLEN, SOSNs;
  std::array<Label, 3> SOSCsi, SOSTdi, SOSTai;
  Label SOSSs, SOSSe, SOSAh, SOSAl;
  // Restart interval.
  Label DRILEN, DRI;

  // Commands that only the menu bar offers: moving to the damage and repairing it
  // (disabled until automatic repair enables them), and the version box.
  Command LOCATE, REPAIR, SALVAGE, ABOUT;
  // The menu bar above the client area. Its items run the commands above and those
  // of the buttons; nothing in the client area moves for it.
  std::vector<Menu> menuBar;

  // A close request from the window system; returns whether it was granted.
  bool RequestClose() { return onCloseRequest ? onCloseRequest() : true; }
};

}  // namespace vorn::window
