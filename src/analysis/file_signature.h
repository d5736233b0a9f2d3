// Files of other picture and document formats, told by their first bytes, so that
// a file named .jpg that is not a JPEG file says so instead of being analysed into a
// list of markers that are not there.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vorn {

// "PNG", "GIF", "BMP", "WebP", "HEIF", "AVIF", "TIFF" or "PDF" when bytes begin with
// that format's signature, otherwise "" (every other file is analysed as a JPEG).
std::string ForeignFormatOf(std::span<const uint8_t> bytes);

// "PNGファイルです。JPEGファイルではありません" for format "PNG".
std::string ForeignFormatMessage(const std::string& format);

}  // namespace vorn
