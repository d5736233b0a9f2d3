#include "cli/image_files.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <memory>

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

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// libpng reports failures by longjmp; everything with a destructor lives in the
// caller so that the jump skips none.
bool WritePngRows(FILE* file, const PixelStore& pixels, int32_t width, int32_t height,
                  std::vector<uint8_t>& row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
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

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  // The pixel block is the picture's rows as they lie: bytes blue, green, red, 0.
  std::vector<uint8_t> row;
  row.reserve(static_cast<size_t>(width) * 4);
  for (int32_t r = 0; r < height && out; ++r) {
    row.clear();
    for (int32_t x = 0; x < width; ++x) PutLe32(row, pixels[static_cast<size_t>(r) * width + x]);
    out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
  }
  out.close();
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool WritePng(const std::string& path, const PixelStore& pixels, int32_t width, int32_t height,
              std::string& error) {
  if (!CheckSize(pixels, width, height, error)) return false;
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  bool ok = file && WritePngRows(file.get(), pixels, width, height, row);
  if (file) ok = std::fclose(file.release()) == 0 && ok;
  if (!ok) error = "cannot write " + path;
  return ok;
}

}  // namespace vorn::cli
