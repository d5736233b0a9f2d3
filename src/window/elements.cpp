#include "window/elements.h"

#include <algorithm>

namespace vorn::window {

bool Command::Click() {
  if (!enabled || !onClick) return false;
  onClick();
  return true;
}

void TextField::SetText(const std::string& value) {
  // Count UTF-8 code points: continuation bytes are 10xxxxxx.
  int chars = 0;
  size_t cut = value.size();
  for (size_t i = 0; i < value.size(); ++i) {
    if ((static_cast<unsigned char>(value[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) {
        cut = i;
        break;
      }
      ++chars;
    }
  }
  text = value.substr(0, cut);
}

void TextField::LoseFocus() {
  if (onLostFocus) onLostFocus();
}

void ListBox::Click(int index) {
  if (index < 0 || index >= Count()) return;
  selected = index;
  if (onClick) onClick(index);
}

void ListBox::Select(int index) {
  if (index == selected) return;
  Click(index);
}

void ListBox::Activate() {
  DblClick(selected);
}

void ListBox::DblClick(int index) {
  if (index < 0 || index >= Count()) return;
  if (onDblClick) onDblClick(index);
}

bool Picture::Resize(int w, int h) {
  if (w < 0 || h < 0) return false;
  const size_t size = static_cast<size_t>(w) * static_cast<size_t>(h);
  if (!shared && pixels.size() == size) {
    // The same size again (the view, at every drawing): the surface is kept.
    std::fill(pixels.begin(), pixels.end(), 0u);
  } else {
    try {
      decltype(pixels) fresh(size, 0);
      pixels.swap(fresh);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  shared = nullptr;
  width = w;
  height = h;
  ++revision;
  return true;
}

void Picture::ResizeBlank(int w, int h) {
  decltype(pixels)().swap(pixels);
  shared = nullptr;
  width = std::max(w, 0);
  height = std::max(h, 0);
  ++revision;
}

void Picture::Clear() {
  if (shared) {
    // Black needs no surface: it is allocated only when something is drawn.
    shared = nullptr;
    decltype(pixels)().swap(pixels);
  } else {
    std::fill(pixels.begin(), pixels.end(), 0u);
  }
  ++revision;
}

void Picture::ShowBottomUp(const PixelStore* block, int w, int h) {
  decltype(pixels)().swap(pixels);
  shared = block;
  width = std::max(w, 0);
  height = std::max(h, 0);
  ++revision;
}

bool Picture::OwnSurface() {
  const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (!shared && pixels.size() == size) return true;
  decltype(pixels) own;
  try {
    own.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (shared) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) own[static_cast<size_t>(y) * width + x] = Pixel(x, y);
  }
  shared = nullptr;
  pixels.swap(own);
  return true;
}

bool Picture::CopyFrom(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) {
  if (!OwnSurface()) return false;
  // Target columns [x0, x1) read source columns x0 - dx + sx ..; of those, the ones
  // inside the source are [in0, in1), the rest read black.
  const int x0 = std::max(dx, 0), x1 = std::min(dx + w, width);
  const int in0 = std::clamp(dx - sx, x0, std::max(x0, x1)),
            in1 = std::clamp(dx - sx + src.width, in0, std::max(x0, x1));
  for (int y = 0; y < h; ++y) {
    const int ty = dy + y;
    if (ty < 0 || ty >= height || x0 >= x1) continue;
    uint32_t* to = pixels.data() + static_cast<size_t>(ty) * width;
    const uint32_t* from = src.Row(sy + y);
    if (from == nullptr) {  // outside, or not all there: pixel by pixel
      for (int tx = x0; tx < x1; ++tx) to[tx] = src.Pixel(tx - dx + sx, sy + y);
      continue;
    }
    std::fill(to + x0, to + in0, 0u);
    std::copy(from + (in0 - dx + sx), from + (in1 - dx + sx), to + in0);
    std::fill(to + in1, to + x1, 0u);
  }
  ++revision;
  return true;
}

const uint32_t* Picture::Row(int y) const {
  if (y < 0 || y >= height || width <= 0) return nullptr;
  const size_t first = static_cast<size_t>(shared ? height - 1 - y : y) * width;
  const size_t available = shared ? shared->size() : pixels.size();
  return first + width <= available ? (shared ? shared->data() : pixels.data()) + first : nullptr;
}

void Picture::FillRect(int x0, int y0, int x1, int y1, uint32_t colour) {
  if (!OwnSurface()) return;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width);
  y1 = std::min(y1, height);
  for (int y = y0; y < y1; ++y)
    std::fill_n(pixels.begin() + static_cast<size_t>(y) * width + x0, std::max(0, x1 - x0), colour);
  ++revision;
}

uint32_t Picture::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  if (shared) {
    const size_t index = static_cast<size_t>(height - 1 - y) * width + x;
    return index < shared->size() ? (*shared)[index] : 0;
  }
  const size_t index = static_cast<size_t>(y) * width + x;
  return index < pixels.size() ? pixels[index] : 0;
}

void Picture::SetPixel(int x, int y, uint32_t colour) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  if (!OwnSurface()) return;
  pixels[static_cast<size_t>(y) * width + x] = colour;
  ++revision;
}

void ScrollBar::SetMax(int newMax) {
  max = std::max(newMax, 0);
  if (value > max) {
    value = max;
    if (onChange) onChange();
  }
}

void ScrollBar::SetValue(int newValue) {
  newValue = std::clamp(newValue, 0, max);
  if (newValue == value) return;
  value = newValue;
  if (onChange) onChange();
}

void ScrollBar::DragTo(int newValue) {
  newValue = std::clamp(newValue, 0, max);
  if (newValue == value) return;
  value = newValue;
  if (onScroll) onScroll();
}

}  // namespace vorn::window
