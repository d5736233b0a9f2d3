// libjpeg-turbo as an independent peer: a real encoder for test inputs and a
// reference decoder to compare our pictures with.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorn::testing {

struct EncodeOptions {
  int width = 64;
  int height = 48;
  int components = 3;  // 1 (grey) or 3 (YCbCr)
  // Sampling factors of component 0 (chroma components are 1 x 1):
  // 1x1 = 4:4:4, 2x1 = 4:2:2, 2x2 = 4:2:0, 1x2 = 4:4:0.
  int h0 = 2;
  int v0 = 2;
  int quality = 90;
  int restartInterval = 0;  // in MCUs; 0 = none
  bool optimize = false;    // optimized Huffman tables
  bool progressive = false;
  bool writeJfif = true;
  std::string comment;  // written as a COM segment when not empty
};

// A smooth, photo-like test picture with edges and texture: width*height*components
// bytes, rows top-down. The same seed gives the same picture.
std::vector<uint8_t> PhotoLikePixels(int width, int height, int components, uint32_t seed = 1);

// Encodes pixels (as PhotoLikePixels returns them) with libjpeg.
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& pixels, const EncodeOptions& options);
// Encodes PhotoLikePixels for the options' size.
std::vector<uint8_t> EncodePhotoLike(const EncodeOptions& options, uint32_t seed = 1);

// jpeg (which libjpeg encoded from pixels, width x height x components) with an
// EXIF APP1 after its SOI that carries a thumbnail as cameras write one: the pixels
// averaged over boxes down to thumbWidth x thumbHeight (each a divisor), 4:2:2,
// quality 80, no APP0.
std::vector<uint8_t> WithExifThumbnail(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& pixels,
                                       int width, int height, int components, int thumbWidth,
                                       int thumbHeight);

struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width*height*3, rows top-down
  bool ok = false;
};
// Decodes with libjpeg: integer slow IDCT, no fancy upsampling, RGB output.
DecodedPicture DecodeWithLibjpeg(std::span<const uint8_t> jpeg);

// Writes bytes to path (for CLI tests and fixtures); returns false on failure.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

}  // namespace vorn::testing
