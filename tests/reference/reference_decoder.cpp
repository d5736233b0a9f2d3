#include "reference/reference_decoder.h"

#include "reference/reference_kernels.h"

namespace vorn::reference {

namespace {

// Component c's sampling factors as its scan codes it: a frame of one component
// (with usable factors) is one block per MCU, whatever its header says.
bool OneBlock(const Records& rec, int c) {
  return rec.frame.ComponentCount == 1 && rec.frame.HSampling[c] > 0 && rec.frame.VSampling[c] > 0;
}
int32_t CodedH(const Records& rec, int c) {
  return OneBlock(rec, c) ? 1 : rec.frame.HSampling[c];
}
int32_t CodedV(const Records& rec, int c) {
  return OneBlock(rec, c) ? 1 : rec.frame.VSampling[c];
}

struct Decoder {
  const FileImage& file;
  const Records& rec;
  DecodeState& d;
  IdctMatrixTable matrix{};
  int32_t codeValue = 0;
  int32_t codeLength = 0;
  bool readingCode = true;
  int coefficientClass = 0;
  int coefficientIndex = 0;
  int extraBits = 0;
  int blockIndex = 0;
  int32_t mcuColumn = 0;
  int32_t mcuRow = 0;
  int32_t dcPredictor[3] = {0, 0, 0};
  std::array<int32_t, 64> coefficients{};
  Blocks samples{};
  int32_t readPosition = 0;
  int bitIndex = 0;

  int32_t X() const { return rec.frame.FrameWidth; }
  int32_t Y() const { return rec.frame.FrameHeight; }
  int32_t McuWidth() const { return 8 * CodedH(rec, 0); }
  int32_t McuHeight() const { return 8 * CodedV(rec, 0); }

  void ResetBlock() {
    readingCode = true;
    codeValue = 0;
    codeLength = 0;
    coefficientClass = 0;
    coefficientIndex = 0;
  }

  bool CompleteBlock() {
    const int c = d.Plan.McuBlockTable[18 + blockIndex];
    const int32_t sum = coefficients[0] + dcPredictor[c];
    if (sum < -32768 || sum > 32767) return false;
    coefficients[0] = sum;
    dcPredictor[c] = sum;
    const int q = d.Plan.McuBlockTable[12 + blockIndex];
    if (q < 0 || q > 2) return false;
    if (!InverseTransformBlock(matrix, coefficients, rec.quant.QuantValues[q], samples[blockIndex]))
      return false;
    ++blockIndex;
    if (blockIndex == d.Plan.McuBlockCount) {
      blockIndex = 0;
      if (!StoreMcuPixels(d.ImagePixels, X(), Y(), samples, CodedH(rec, 0), CodedV(rec, 0), mcuColumn,
                          mcuRow))
        return false;
      ++mcuColumn;
      if (mcuColumn > (X() - 1) / McuWidth()) {
        mcuColumn = 0;
        ++mcuRow;
      }
      const int32_t mcuRows = (Y() - 1) / McuHeight() + 1;
      if (mcuRow > mcuRows) return false;
      McuStart& e = d.McuStarts.At(mcuColumn, mcuRow);
      for (int i = 0; i < 3; ++i) e.Dc[i] = dcPredictor[i];
      e.BytePos = readPosition;
      e.BitIndex = bitIndex;
    }
    ResetBlock();
    return true;
  }

  bool StoreCoefficient(int32_t value) {
    if (coefficientIndex > 63) return false;
    coefficients[coefficientIndex] = value;
    ++coefficientIndex;
    if (coefficientIndex == 64) return CompleteBlock();
    readingCode = true;
    codeValue = 0;
    codeLength = 0;
    return true;
  }

  // One appended bit; false on a decoding failure.
  bool Bit(int bit) {
    codeValue = 2 * codeValue + bit;
    codeLength = codeLength + 1;
    if (readingCode) {
      if (codeLength > 16) return false;
      const int selector = d.Plan.McuBlockTable[coefficientClass * 6 + blockIndex];
      if (selector < 0 || selector > 3) return false;
      const HuffCodeTable& table = rec.huff.HuffTable[coefficientClass][selector];
      const int k = MatchCode(table, codeLength, codeValue);
      if (k < 0) return true;
      const int run = table.Run[codeLength - 1][k];
      const int size = table.Size[codeLength - 1][k];
      if (run == 0 && size == 0 && coefficientClass == 1) {
        for (int p = coefficientIndex; p < 64; ++p) coefficients[p] = 0;
        return CompleteBlock();
      }
      for (int r = 0; r < run; ++r) {
        if (coefficientIndex > 63) return false;
        coefficients[coefficientIndex] = 0;
        ++coefficientIndex;
      }
      // Sizes are 4-bit in a DHT segment; a larger one cannot be collected.
      if (size > 15) return false;
      extraBits = size;
      readingCode = false;
      codeValue = 0;
      codeLength = 0;
      coefficientClass = 1;
    }
    if (!readingCode && codeLength == extraBits) {
      int32_t value = 0;
      if (extraBits > 0)
        value = codeValue >= (1 << (extraBits - 1)) ? codeValue : codeValue - (1 << extraBits) + 1;
      return StoreCoefficient(value);
    }
    return true;
  }

  int Run(int32_t scanDataEnd) {
    static const uint8_t kMask[8] = {128, 64, 32, 16, 8, 4, 2, 1};
    for (readPosition = rec.scan.ScanDataStart; readPosition <= scanDataEnd; ++readPosition) {
      if (!file.Contains(readPosition)) return 2;
      const uint8_t byte = file.bytes[readPosition];
      for (bitIndex = 0; bitIndex < 8; ++bitIndex)
        if (!Bit((byte & kMask[bitIndex]) != 0 ? 1 : 0)) return 2;
      if (byte == 0xFF) {
        ++readPosition;
        if (!file.Contains(readPosition)) return 2;
        const uint8_t next = file.bytes[readPosition];
        if (next >= 0xD0 && next <= 0xD7) {
          codeValue = 0;
          codeLength = 0;
          dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
        } else if (next != 0x00) {
          return 1;
        }
      }
    }
    return 0;
  }
};

}  // namespace

int DecodeScan(const FileImage& file, const Records& rec, int32_t scanDataEnd, DecodeState& decode) {
  // The block plan.
  decode.Plan = McuBlockPlan{};
  if (rec.frame.ComponentCount > 3) return 2;
  int count = 0;
  for (int c = 0; c < rec.frame.ComponentCount; ++c)
    for (int i = 0; i < CodedH(rec, c) * CodedV(rec, c); ++i) {
      if (count == 6) {
        decode.Plan = McuBlockPlan{};
        return 2;
      }
      decode.Plan.McuBlockTable[count] = rec.scan.DcTableSelector[c];
      decode.Plan.McuBlockTable[6 + count] = rec.scan.AcTableSelector[c];
      decode.Plan.McuBlockTable[12 + count] = rec.frame.QuantSelector[c];
      decode.Plan.McuBlockTable[18 + count] = static_cast<int16_t>(c);
      ++count;
    }
  decode.Plan.McuBlockCount = static_cast<int16_t>(count);
  if (count == 0 || CodedH(rec, 0) < 1 || CodedV(rec, 0) < 1) return 2;

  Decoder dec{file, rec, decode};
  if (count == 1)
    for (int p = 0; p < 64; ++p) dec.samples[1][p] = dec.samples[2][p] = 128;
  BuildIdctMatrix(dec.matrix);
  McuStart& first = decode.McuStarts.At(0, 0);
  first = McuStart{};
  first.BytePos = rec.scan.ScanDataStart - 1;
  first.BitIndex = 7;
  return dec.Run(scanDataEnd);
}

}  // namespace vorn::reference
