#include "analysis/file_signature.h"

#include <algorithm>
#include <string_view>

namespace vorn {
namespace {

bool StartsWith(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
  return bytes.size() >= at + text.size() &&
         std::equal(text.begin(), text.end(), bytes.begin() + static_cast<ptrdiff_t>(at),
                    [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
}

uint32_t Be32(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

// An ISO base media file begins with its ftyp box: size, "ftyp", the major brand, a
// version, then compatible brands up to the box's end. HEIF and AVIF name
// themselves in these brands (MP4 video, which shares the box, does not).
std::string HeifFamilyOf(std::span<const uint8_t> bytes) {
  if (!StartsWith(bytes, 4, "ftyp")) return "";
  const size_t boxEnd = std::min<size_t>(Be32(bytes, 0), bytes.size());
  bool heif = false;
  for (size_t at = 8; at + 4 <= boxEnd; at += at == 8 ? 8 : 4) {  // the version is no brand
    const std::string_view brand(reinterpret_cast<const char*>(bytes.data() + at), 4);
    if (brand == "avif" || brand == "avis") return "AVIF";
    heif = heif || brand == "heic" || brand == "heix" || brand == "heif" || brand == "mif1" ||
           brand == "msf1" || brand == "hevc";
  }
  return heif ? "HEIF" : "";
}

}  // namespace

std::string ForeignFormatOf(std::span<const uint8_t> bytes) {
  if (StartsWith(bytes, 0, "\x89PNG\r\n\x1A\n")) return "PNG";
  if (StartsWith(bytes, 0, "GIF87a") || StartsWith(bytes, 0, "GIF89a")) return "GIF";
  // "BM" alone starts too many other files: the reserved header fields are 0 too.
  if (StartsWith(bytes, 0, "BM") && bytes.size() >= 14 && Be32(bytes, 6) == 0) return "BMP";
  if (StartsWith(bytes, 0, "RIFF") && StartsWith(bytes, 8, "WEBP")) return "WebP";
  if (std::string family = HeifFamilyOf(bytes); !family.empty()) return family;
  if (StartsWith(bytes, 0, std::string_view("II*\0", 4)) ||
      StartsWith(bytes, 0, std::string_view("MM\0*", 4)))
    return "TIFF";
  if (StartsWith(bytes, 0, "%PDF-")) return "PDF";
  return "";
}

std::string ForeignFormatMessage(const std::string& format) {
  return format + "ファイルです。JPEGファイルではありません";
}

}  // namespace vorn
