#include "dump/hex_input.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

void ExpectValue(std::string_view text, uint8_t value) {
  const HexInput in = ParseHexInput(text);
  EXPECT_TRUE(in.accepted) << '"' << text << '"';
  EXPECT_EQ(in.value, value) << '"' << text << '"';
}

void ExpectError(std::string_view text) {
  EXPECT_FALSE(ParseHexInput(text).accepted) << '"' << text << '"';
}

TEST(HexInput, ZeroIsAcceptedOnlyFromTheExactTexts) {
  ExpectValue("0", 0);
  ExpectValue("00", 0);
  ExpectError("0 ");  // the blank is ignored, but the text is no longer exactly "0"
  ExpectError(" 0");
  ExpectError("0\t");
  ExpectError("");
  ExpectError("  ");
}

TEST(HexInput, LeadingHexDigitsUpToTheFirstOtherCharacter) {
  ExpectValue("0a", 0x0A);
  ExpectValue("0A", 0x0A);
  ExpectValue("ff", 0xFF);
  ExpectValue("7F", 0x7F);
  ExpectValue("F ", 0x0F);
  ExpectValue("A-", 0x0A);
  ExpectValue("5G", 0x05);
  ExpectValue("\t5", 0x05);
  ExpectValue("1 2", 0x12);  // blanks are ignored wherever they stand
}

TEST(HexInput, NoLeadingDigitIsAnError) {
  ExpectError("G");
  ExpectError("-");
  ExpectError("-1");
  ExpectError("g0");
  ExpectError("０");  // a full-width digit is no hex digit
}

TEST(HexInput, MoreThanAByteIsAnError) {
  ExpectError("100");
  ExpectError("FFF");
  ExpectValue("0FF", 0xFF);
}

}  // namespace
}  // namespace vorn
