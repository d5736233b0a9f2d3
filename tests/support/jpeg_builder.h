// A small JPEG writer for tests that need exact byte layouts: every segment is
// written exactly as asked, wrong lengths, repeated markers and stray bytes
// included, so that a test can say precisely where each byte lies.
//
// Typical use:
//   JpegBuilder b;
//   b.Soi().App0Jfif().Dqt(0, FlatQuant(16)).Sof0(16, 8, Grey()).DhtStandard();
//   const int32_t sos = b.Size();       // position of the next marker's FF byte
//   b.Sos(GreyScan()).Raw(scanBytes).Eoi();
//   std::vector<uint8_t> file = b.Bytes();
//
// Segment helpers compute the length field from what they write (payload + 2)
// unless a length is given explicitly.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorn::testing {

using QuantValues = std::array<uint8_t, 64>;  // in file (zig-zag) order

// One frame component: identifier, sampling factors, quantization table selector.
struct FrameComponent {
  int id = 1;
  int h = 1;
  int v = 1;
  int tq = 0;
};

// One scan component: selector and DC/AC table selectors.
struct ScanComponent {
  int cs = 1;
  int td = 0;
  int ta = 0;
};

// A Huffman table as a DHT segment carries it: class (0 DC, 1 AC), identifier,
// the 16 counts of codes of length 1..16, and the symbols in code order.
struct HuffmanSpec {
  int tc = 0;
  int th = 0;
  std::array<uint8_t, 16> counts{};
  std::vector<uint8_t> symbols;

  // The canonical code of a symbol (as assigned by ISO/IEC 10918-1 Annex C):
  // its bits and length. nullopt when the table has no such symbol.
  struct Code {
    uint32_t bits = 0;
    int length = 0;
  };
  std::optional<Code> CodeOf(uint8_t symbol) const;
};

// The four tables of ISO/IEC 10918-1 Annex K.3 (luminance DC 0 / AC 0, chrominance DC 1 / AC 1).
HuffmanSpec StandardLuminanceDc();
HuffmanSpec StandardLuminanceAc();
HuffmanSpec StandardChrominanceDc();
HuffmanSpec StandardChrominanceAc();

// Annex K.1 quantization tables, in zig-zag order as DQT stores them.
QuantValues StandardLuminanceQuant();
QuantValues StandardChrominanceQuant();
QuantValues FlatQuant(uint8_t value);

// Common component layouts.
std::vector<FrameComponent> Grey();      // one component, id 1, 1x1, table 0
std::vector<FrameComponent> YCbCr420();  // ids 1,2,3: 2x2/1x1/1x1, tables 0,1,1
std::vector<FrameComponent> YCbCr444();  // ids 1,2,3: 1x1 each, tables 0,1,1
std::vector<ScanComponent> GreyScan();   // selector 1, tables 0/0
std::vector<ScanComponent> YCbCrScan();  // selectors 1,2,3, tables 0/0, 1/1, 1/1

class JpegBuilder {
 public:
  // Position of the next byte to be written (the FF of the next marker).
  int32_t Size() const { return static_cast<int32_t>(bytes_.size()); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

  // A bare marker FF code, with nothing after it.
  JpegBuilder& Marker(uint8_t code);
  JpegBuilder& Soi() { return Marker(0xD8); }
  JpegBuilder& Eoi() { return Marker(0xD9); }
  JpegBuilder& Rst(int n) { return Marker(static_cast<uint8_t>(0xD0 + (n & 7))); }
  // Raw bytes (scan data, garbage, fill bytes), written as they are.
  JpegBuilder& Raw(const std::vector<uint8_t>& data);
  JpegBuilder& Raw(std::initializer_list<uint8_t> data) { return Raw(std::vector<uint8_t>(data)); }

  // Any segment: FF code, the length (payload size + 2 unless given), the payload.
  JpegBuilder& Segment(uint8_t code, const std::vector<uint8_t>& payload,
                       std::optional<uint16_t> length = std::nullopt);
  // APPn with a payload.
  JpegBuilder& App(int n, const std::vector<uint8_t>& payload) {
    return Segment(static_cast<uint8_t>(0xE0 + n), payload);
  }
  // A JFIF APP0 (version 1.01) with an optional thumbnail of w x h RGB pixels.
  JpegBuilder& App0Jfif(int units = 1, uint16_t xDensity = 72, uint16_t yDensity = 72, uint8_t thumbWidth = 0,
                        uint8_t thumbHeight = 0, const std::vector<uint8_t>& thumbRgb = {});
  // DQT: one segment holding the given tables; pq is written in the high nibble.
  struct QuantSpec {
    int pq = 0;
    int tq = 0;
    QuantValues values{};
  };
  JpegBuilder& Dqt(const std::vector<QuantSpec>& tables);
  JpegBuilder& Dqt(int tq, const QuantValues& values) { return Dqt({QuantSpec{0, tq, values}}); }
  // SOF0 / SOF2 (precision 8 unless given).
  JpegBuilder& Sof(uint8_t code, int width, int height, const std::vector<FrameComponent>& components,
                   int precision = 8);
  JpegBuilder& Sof0(int width, int height, const std::vector<FrameComponent>& components) {
    return Sof(0xC0, width, height, components);
  }
  JpegBuilder& Sof2(int width, int height, const std::vector<FrameComponent>& components) {
    return Sof(0xC2, width, height, components);
  }
  // DHT: one segment holding the given tables.
  JpegBuilder& Dht(const std::vector<HuffmanSpec>& tables);
  // All four standard tables in one segment (length 418), in the order
  // DC 0, AC 0, DC 1, AC 1.
  JpegBuilder& DhtStandard();
  // SOS with spectral selection and approximation (baseline defaults).
  JpegBuilder& Sos(const std::vector<ScanComponent>& components, int ss = 0, int se = 63, int ah = 0,
                   int al = 0);
  JpegBuilder& Com(const std::vector<uint8_t>& text) { return Segment(0xFE, text); }
  JpegBuilder& Com(const std::string& text) { return Com(std::vector<uint8_t>(text.begin(), text.end())); }
  JpegBuilder& Dri(uint16_t interval);

 private:
  std::vector<uint8_t> bytes_;
};

// Entropy-coded data written bit by bit, most significant bit first, with an FF
// byte followed by a stuffed 00; Finish pads the last byte with 1 bits.
class BitWriter {
 public:
  void PutBits(uint32_t bits, int count);
  // The code of symbol in table (the symbol must exist in it).
  void PutCode(const HuffmanSpec& table, uint8_t symbol);
  // A DC difference or AC value: its size category's code, then its extra bits.
  void PutDc(const HuffmanSpec& dc, int diff);
  void PutAc(const HuffmanSpec& ac, int run, int value);
  void PutEob(const HuffmanSpec& ac) { PutCode(ac, 0x00); }
  // One block: DC difference, then the 63 AC coefficients in zig-zag order
  // (ZRL and EOB as needed).
  void PutBlock(const HuffmanSpec& dc, const HuffmanSpec& ac, int dcDiff,
                const std::array<int, 63>& acZigZag = {});
  // Pads to a byte boundary with 1 bits and returns all bytes written.
  std::vector<uint8_t> Finish();
  int BitCount() const { return bitCount_; }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t acc_ = 0;
  int accBits_ = 0;
  int bitCount_ = 0;
};

// Size category of a coefficient value (number of bits of |v|), and its extra bits.
int SizeCategory(int v);
uint32_t ExtraBits(int v, int size);

// A complete small baseline file: SOI, JFIF APP0, DQT (two tables), SOF0, DHT
// (standard tables, one segment), SOS, scan, EOI, with every block of a grey
// (components = 1) or 4:2:0 colour image flat (DC difference 0, all AC 0).
// Decodes to mid-grey.
std::vector<uint8_t> FlatBaselineJpeg(int width, int height, int components = 3);

}  // namespace vorn::testing
