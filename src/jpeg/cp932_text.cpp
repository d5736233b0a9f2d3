#include "jpeg/cp932_text.h"

#include <iconv.h>

#include <cerrno>

namespace vorn {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// One conversion descriptor per call: conversions are rare (one per COM segment)
// and a shared descriptor would carry shift state from one text to the next.
struct Converter {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

// Without the converter (a C library built without it) ASCII still reads right.
std::string AsciiOnly(const uint8_t* bytes, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] < 0x80)
      out += static_cast<char>(bytes[i]);
    else
      out += kReplacement;
  }
  return out;
}

}  // namespace

std::string Cp932ToUtf8(const uint8_t* bytes, size_t count) {
  Converter conv;
  if (!conv.ok()) return AsciiOnly(bytes, count);
  std::string out;
  // A CP932 character of one or two bytes never needs more than 3 UTF-8 bytes
  // per input byte.
  std::string buffer(count * 3 + 4, '\0');
  char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes));
  size_t inLeft = count;
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t result = iconv(conv.cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (result != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ (no such character) or EINVAL (a lead byte at the very end).
    out += kReplacement;
    ++in;
    --inLeft;
    iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace vorn
