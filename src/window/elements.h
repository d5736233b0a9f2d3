// Toolkit-neutral window elements: plain state plus the events a view forwards.
// The Qt widgets in src/gui only mirror these; tests and vorn-cli drive them directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/large_buffer.h"

namespace vorn::window {

// Colours are 0x00RRGGBB.
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0xC0C0C0;

// A label or value field: text with background and text colour.
struct Label {
  std::string text;
  uint32_t back = kWhite;
  uint32_t fore = kBlack;
};

// A command button (or a clickable caption cell). A disabled command raises no click.
struct Command {
  std::string caption;
  bool enabled = true;
  std::function<void()> onClick;

  // Returns whether the click reached a handler.
  bool Click();
};

// One-line text field of at most maxChars characters (UTF-8 code points).
struct TextField {
  std::string text;
  int maxChars = 2;
  std::function<void()> onLostFocus;
  // Counts the requests for the focus; the view takes the focus at each new one.
  uint32_t focusRequests = 0;

  // Sets the text, cutting it to maxChars characters as the field would.
  void SetText(const std::string& value);
  void LoseFocus();
  // Asks for the focus with the whole text selected, so that typing replaces it.
  void FocusSelectingAll() { ++focusRequests; }
};

// A list box: lines in order, a tag text, click and double click by line index.
// Like the list boxes the handlers were written for, it raises its click event for
// every change of the selected line, by mouse or by keyboard.
struct ListBox {
  std::vector<std::string> lines;
  std::string tag;
  int selected = -1;  // the selected line, -1 for none
  std::function<void(int)> onClick;
  std::function<void(int)> onDblClick;

  void Clear() {
    lines.clear();
    selected = -1;
  }
  void AddItem(std::string line) { lines.push_back(std::move(line)); }
  int Count() const { return static_cast<int>(lines.size()); }
  // A double click is always preceded by a click, as in the window system.
  void Click(int index);
  void DblClick(int index);
  // The selection moved to `index` by keyboard: a click when the line changed.
  void Select(int index);
  // Enter: the double click of the selected line.
  void Activate();
};

// A picture box with a persistent 32-bit surface, rows top-down, 0x00RRGGBB.
// Instead of a surface of its own it can show a bottom-up block owned elsewhere
// (ShowBottomUp): the decoded picture is up to 64 MB and need not exist twice.
struct Picture {
  int width = 0;
  int height = 0;
  // width * height, row-major from the top. Empty while the picture shows a shared
  // block, or after it was cleared from one (then it reads all black).
  std::vector<uint32_t, LargeBufferAllocator<uint32_t>> pixels;
  const PixelStore* shared = nullptr;  // bottom-up rows of width pixels
  uint64_t revision = 0;               // bumped by every change, so views know to repaint
  std::function<void(int button, int shift, float x, float y)> onMouseDown;

  // Sets the size; the content becomes black. Returns false when the surface
  // cannot be allocated.
  bool Resize(int w, int h);
  // Sets the size with the content black and no surface yet: black needs none, and
  // the first drawing allocates it. A window model that is never drawn (vorn-cli's)
  // then holds no picture-sized memory.
  void ResizeBlank(int w, int h);
  // Erases the picture to black, keeping its size.
  void Clear();
  // Shows the w x h bottom-up block *block (the layout of a 32-bit BI_RGB DIB)
  // without copying it. Every read goes through *block, so pixels beyond its current
  // end read black; the vector must outlive the picture or be detached from it by
  // Resize or Clear. The first write gives the picture a surface of its own (a copy).
  void ShowBottomUp(const PixelStore* block, int w, int h);
  // Copies a w x h rectangle at (sx, sy) of src to (dx, dy) here. Source pixels
  // outside src read as black. Returns false when the copy cannot be made.
  bool CopyFrom(const Picture& src, int sx, int sy, int w, int h, int dx, int dy);
  // Fills the rectangle [x0, x1) x [y0, y1), clipped to the surface.
  void FillRect(int x0, int y0, int x1, int y1, uint32_t colour);
  // Pixels outside the surface read as 0 and are not written.
  uint32_t Pixel(int x, int y) const;
  // Line y from the top, width pixels; null when y is outside or the line is not all
  // there (a shared block that shrank, a cleared picture: the line reads black).
  const uint32_t* Row(int y) const;
  void SetPixel(int x, int y, uint32_t colour);
  void Repaint() { ++revision; }

 private:
  // Makes pixels a surface of width * height of its own; false when it cannot be had.
  bool OwnSurface();
};

// A scroll bar with minimum 0. Lowering the maximum below the value lowers the
// value and raises the value-changed event at once.
struct ScrollBar {
  int max = 0;
  int value = 0;
  std::function<void()> onChange;  // value changed
  std::function<void()> onScroll;  // thumb dragged

  void SetMax(int newMax);
  // Sets the value (clamped to 0..max) and raises value-changed when it changed.
  void SetValue(int newValue);
  // The thumb was dragged to newValue: value set, the scroll event raised.
  void DragTo(int newValue);
};

}  // namespace vorn::window
