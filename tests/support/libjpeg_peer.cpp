#include "support/libjpeg_peer.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace vorn::testing {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(err->jump, 1);
}

}  // namespace

std::vector<uint8_t> PhotoLikePixels(int width, int height, int components, uint32_t seed) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * components);
  uint32_t noise = seed * 2654435761u + 12345u;
  const double fx = 0.7 + 0.1 * (seed % 5), fy = 1.1 + 0.07 * (seed % 7);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const double n = static_cast<double>((noise >> 24) & 0x1F) - 16.0;  // fine grain
      const double u = static_cast<double>(x) / std::max(width, 1);
      const double v = static_cast<double>(y) / std::max(height, 1);
      // Smooth gradients, a soft blob and a hard-edged disc: the mix of flat areas,
      // texture and edges that a photograph has.
      const double blob = 80.0 * std::exp(-((u - 0.3) * (u - 0.3) + (v - 0.6) * (v - 0.6)) * 12.0);
      const bool disc = (u - 0.7) * (u - 0.7) + (v - 0.35) * (v - 0.35) < 0.02;
      double r = 40 + 150 * u + blob + 30 * std::sin(fx * 20 * v) + (disc ? 60 : 0) + n;
      double g = 60 + 120 * v + 0.5 * blob + 25 * std::cos(fy * 15 * u) - (disc ? 40 : 0) + n;
      double b = 150 - 90 * u + 50 * v * u + (disc ? -70 : 0) + n;
      auto clamp = [](double c) {
        return static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, c))));
      };
      uint8_t* p = &out[(static_cast<size_t>(y) * width + x) * components];
      if (components == 1) {
        p[0] = clamp(0.299 * r + 0.587 * g + 0.114 * b);
      } else {
        p[0] = clamp(r);
        p[1] = clamp(g);
        p[2] = clamp(b);
      }
    }
  }
  return out;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& pixels, const EncodeOptions& o) {
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(o.width);
  cinfo.image_height = static_cast<JDIMENSION>(o.height);
  cinfo.input_components = o.components;
  cinfo.in_color_space = o.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, o.quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = o.h0;
  cinfo.comp_info[0].v_samp_factor = o.v0;
  for (int c = 1; c < cinfo.num_components; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.restart_interval = static_cast<unsigned>(o.restartInterval);
  cinfo.optimize_coding = o.optimize ? TRUE : FALSE;
  cinfo.write_JFIF_header = o.writeJfif ? TRUE : FALSE;
  if (o.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  if (!o.comment.empty())
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(o.comment.data()),
                      static_cast<unsigned>(o.comment.size()));
  const int stride = o.width * o.components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&pixels[static_cast<size_t>(cinfo.next_scanline) * stride]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

std::vector<uint8_t> EncodePhotoLike(const EncodeOptions& options, uint32_t seed) {
  return EncodeJpeg(PhotoLikePixels(options.width, options.height, options.components, seed), options);
}

std::vector<uint8_t> WithExifThumbnail(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& pixels,
                                       int width, int height, int components, int thumbWidth,
                                       int thumbHeight) {
  const int sx = width / thumbWidth, sy = height / thumbHeight;
  std::vector<uint8_t> small(static_cast<size_t>(thumbWidth) * static_cast<size_t>(thumbHeight) * 3);
  for (int y = 0; y < thumbHeight; ++y)
    for (int x = 0; x < thumbWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int j = 0; j < sy; ++j)
          for (int i = 0; i < sx; ++i)
            sum += pixels[(static_cast<size_t>(y * sy + j) * static_cast<size_t>(width) +
                           static_cast<size_t>(x * sx + i)) *
                              static_cast<size_t>(components) +
                          static_cast<size_t>(std::min(c, components - 1))];
        small[(static_cast<size_t>(y) * static_cast<size_t>(thumbWidth) + static_cast<size_t>(x)) * 3 +
              static_cast<size_t>(c)] = static_cast<uint8_t>((sum + sx * sy / 2) / (sx * sy));
      }
  EncodeOptions o;
  o.width = thumbWidth, o.height = thumbHeight, o.h0 = 2, o.v0 = 1, o.quality = 80, o.writeJfif = false;
  const std::vector<uint8_t> thumb = EncodeJpeg(small, o);
  // "Exif\0\0", then a TIFF header whose IFDs a reader of the thumbnail does not need.
  std::vector<uint8_t> app = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', '*', 0, 8, 0, 0, 0};
  app.insert(app.end(), thumb.begin(), thumb.end());
  const size_t length = app.size() - 2;
  app[2] = static_cast<uint8_t>(length >> 8);
  app[3] = static_cast<uint8_t>(length & 0xFF);
  std::vector<uint8_t> out = jpeg;
  out.insert(out.begin() + 2, app.begin(), app.end());
  return out;
}

DecodedPicture DecodeWithLibjpeg(std::span<const uint8_t> jpeg) {
  DecodedPicture out;
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    out.ok = false;
    return out;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&cinfo);
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out.rgb[static_cast<size_t>(cinfo.output_scanline) * out.width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  out.ok = true;
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace vorn::testing
