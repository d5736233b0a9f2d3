#include "cli/image_files.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <csetjmp>
#include <span>

#include "analysis/file_image.h"
#include "cli/cli_session.h"

namespace vorn::cli {

namespace {

constexpr int kBmpFileHeaderSize = 14;
constexpr int kBmpInfoHeaderSize = 40;

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

bool EndsWith(const std::string& text, const std::string& ending) {
  if (text.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), text.end() - static_cast<long>(ending.size()),
                    [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

// libpng hands its output here; a failed write ends the picture through png_error,
// which jumps back to WritePngRows.
void PngWrite(png_structp png, png_bytep data, size_t length) {
  const auto& write = *static_cast<const FilePieceWriter*>(png_get_io_ptr(png));
  if (!write(std::span<const uint8_t>(data, length))) png_error(png, "write failed");
}

void PngFlush(png_structp) {}

// The caller says what failed ("cannot write"); libpng's own words would only repeat it.
void PngError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// libpng reports failures by longjmp; everything with a destructor lives in the
// caller so that the jump skips none. The Sub filter and Huffman coding alone: a
// 12 MP photo's PNG takes under twice its BMP's time (the default settings took
// twenty times) and comes out at about a third of its size.
bool WritePngRows(const FilePieceWriter& write, const PixelStore& pixels, int32_t width, int32_t height,
                  std::vector<uint8_t>& row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, const_cast<FilePieceWriter*>(&write), PngWrite, PngFlush);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_strategy(png, Z_HUFFMAN_ONLY);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < height; ++y) {
    // Image line y is row height - 1 - y of the bottom-up block.
    const uint32_t* source = pixels.data() + static_cast<size_t>(height - 1 - y) * width;
    for (int32_t x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(source[x] >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(source[x] >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(source[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool Written(const FileError& result, std::string& error) {
  if (result.ok()) return true;
  error = ReadFailureReason(result);
  return false;
}

bool CheckSize(const PixelStore& pixels, int32_t width, int32_t height, std::string& error) {
  if (width < 1 || height < 1 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    error = "no picture to write";
    return false;
  }
  return true;
}

}  // namespace

ImageFormat ImageFormatOf(const std::string& path) {
  if (EndsWith(path, ".bmp")) return ImageFormat::Bmp;
  if (EndsWith(path, ".png")) return ImageFormat::Png;
  return ImageFormat::Unknown;
}

bool WriteBmp(const std::string& path, const PixelStore& pixels, int32_t width, int32_t height,
              std::string& error) {
  if (!CheckSize(pixels, width, height, error)) return false;
  // At most 4000 x 4000 x 4 bytes: the sizes fit the header's 32-bit fields.
  const uint32_t imageSize = static_cast<uint32_t>(pixels.size() * 4);
  const uint32_t offset = kBmpFileHeaderSize + kBmpInfoHeaderSize;
  std::vector<uint8_t> header;
  header.push_back('B');
  header.push_back('M');
  PutLe32(header, offset + imageSize);
  PutLe32(header, 0);  // two reserved 16-bit fields
  PutLe32(header, offset);
  PutLe32(header, kBmpInfoHeaderSize);
  PutLe32(header, static_cast<uint32_t>(width));
  PutLe32(header, static_cast<uint32_t>(height));  // positive: rows bottom-up
  PutLe16(header, 1);                              // planes
  PutLe16(header, 32);                             // bits per pixel
  PutLe32(header, 0);                              // BI_RGB
  PutLe32(header, imageSize);
  for (int i = 0; i < 4; ++i) PutLe32(header, 0);  // resolutions and colour counts

  // The pixel block is the picture's rows as they lie: bytes blue, green, red, 0,
  // which on a little-endian machine are the values' own bytes, written straight
  // from the picture without a copy.
  const FileError result = WriteWholeFileFrom(
      path,
      [&](const FilePieceWriter& write) {
        if (!write(header)) return false;
        if constexpr (std::endian::native == std::endian::little) {
          return write({reinterpret_cast<const uint8_t*>(pixels.data()), pixels.size() * 4});
        } else {
          std::vector<uint8_t> row;
          for (int32_t r = 0; r < height; ++r) {
            row.clear();
            for (int32_t x = 0; x < width; ++x) PutLe32(row, pixels[static_cast<size_t>(r) * width + x]);
            if (!write(row)) return false;
          }
          return true;
        }
      },
      WriteFlush::Deferred);
  return Written(result, error);
}

bool WritePng(const std::string& path, const PixelStore& pixels, int32_t width, int32_t height,
              std::string& error) {
  if (!CheckSize(pixels, width, height, error)) return false;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  const FileError result = WriteWholeFileFrom(
      path, [&](const FilePieceWriter& write) { return WritePngRows(write, pixels, width, height, row); },
      WriteFlush::Deferred);
  return Written(result, error);
}

}  // namespace vorn::cli
