// Writing the decoded picture as a file: a 32-bit BMP whose pixel block is the
// picture's bottom-up rows byte for byte, or a PNG of the same pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/large_buffer.h"

namespace vorn::cli {

enum class ImageFormat { Unknown, Bmp, Png };

// The format named by the path's ending (.bmp or .png, any case).
ImageFormat ImageFormatOf(const std::string& path);

// pixels: width x height values 0x00RRGGBB, rows bottom-up (row 0 is the bottom
// line). Both write as a save does (WriteWholeFileFrom: a temporary file renamed
// over the target once complete), but without waiting for the disk (the picture can
// be made again from its file), and return false with error set to why (the
// system's words), the target unchanged, when the file cannot be written.
bool WriteBmp(const std::string& path, const PixelStore& pixels, int32_t width, int32_t height,
              std::string& error);
bool WritePng(const std::string& path, const PixelStore& pixels, int32_t width, int32_t height,
              std::string& error);

}  // namespace vorn::cli
