#include "NumberText.h"
#include "UnitHexTools.h"

#include <gtest/gtest.h>

TEST(HexTool, WordToHexGivesFourUppercaseDigitsOfTheLow16Bits) {
    THexTool hex;
    EXPECT_EQ(hex.WordToHex(0), "0000");
    EXPECT_EQ(hex.WordToHex(15), "000F");
    EXPECT_EQ(hex.WordToHex(4096), "1000");
    EXPECT_EQ(hex.WordToHex(0xABCD), "ABCD");
    EXPECT_EQ(hex.WordToHex(1240), "04D8");
    EXPECT_EQ(hex.WordToHex(65535), "FFFF");
    EXPECT_EQ(hex.WordToHex(70000), "1170"); // only the low 16 bits
    for (std::uint32_t v = 0; v <= 0xFFFF; ++v)
        ASSERT_EQ(hex.HexToWord(hex.WordToHex(v)), v);
}

TEST(HexTool, HexToWordReadsFourCharactersAndCountsForeignOnesAsZero) {
    THexTool hex;
    EXPECT_EQ(hex.HexToWord("04d8"), 1240);
    EXPECT_EQ(hex.HexToWord("04D8"), 1240);
    EXPECT_EQ(hex.HexToWord("00FF"), 255);
    EXPECT_EQ(hex.HexToWord("00FF12"), 255);
    EXPECT_EQ(hex.HexToWord("12G4"), 0x1204);
    EXPECT_EQ(hex.HexToWord("12A"), 0x12A0);
    EXPECT_EQ(hex.HexToWord(""), 0);
}

TEST(HexTool, DigitCharAndCharValueRules) {
    THexTool hex;
    EXPECT_EQ(hex.HexDigitChar(9), '9');
    EXPECT_EQ(hex.HexDigitChar(10), 'A');
    EXPECT_EQ(hex.HexDigitChar(15), 'F');
    EXPECT_EQ(hex.HexDigitChar(16), '\0');
    EXPECT_EQ(hex.HexCharValue('f'), 15);
    EXPECT_EQ(hex.HexCharValue('G'), 0);
    EXPECT_EQ(hex.HexCharValue(' '), 0);
    EXPECT_EQ(hex.HexCharValue('-'), 0);
}

TEST(NumberText, ParsesDecimalHexSignAndLeadingBlanks) {
    EXPECT_EQ(ParseNumberText("124").Value, 124);
    EXPECT_TRUE(ParseNumberText("124").Ok);
    EXPECT_EQ(ParseNumberText(" 95").Value, 95);
    EXPECT_TRUE(ParseNumberText(" 95").Ok);
    EXPECT_EQ(ParseNumberText("-5").Value, -5);
    EXPECT_EQ(ParseNumberText("+7").Value, 7);
    EXPECT_EQ(ParseNumberText("$1F").Value, 31);
    EXPECT_EQ(ParseNumberText("x1f").Value, 31);
    EXPECT_EQ(ParseNumberText("0X10").Value, 16);
    EXPECT_TRUE(ParseNumberText("0x10").Ok);
    EXPECT_EQ(ParseNumberText("-2147483648").Value, INT32_MIN);
    EXPECT_TRUE(ParseNumberText("-2147483648").Ok);
}

TEST(NumberText, StopsWithAnErrorAndTheValueSoFar) {
    const auto trailing = ParseNumberText("12abc");
    EXPECT_FALSE(trailing.Ok);
    EXPECT_EQ(trailing.Value, 12);
    EXPECT_FALSE(ParseNumberText("95 ").Ok); // a trailing blank is foreign
    EXPECT_EQ(ParseNumberText("95 ").Value, 95);
    EXPECT_FALSE(ParseNumberText("").Ok);
    EXPECT_EQ(ParseNumberText("").Value, 0);
    EXPECT_FALSE(ParseNumberText("読取不可").Ok);
    EXPECT_EQ(ParseNumberText("読取不可").Value, 0);
    EXPECT_FALSE(ParseNumberText("-").Ok);
    EXPECT_FALSE(ParseNumberText("\t5").Ok); // blanks only, not tabs
    const auto overflow = ParseNumberText("2147483648");
    EXPECT_FALSE(overflow.Ok);
    EXPECT_EQ(overflow.Value, 214748364);
    EXPECT_EQ(NumberToText(-12), "-12");
    EXPECT_EQ(NumberToText(4000), "4000");
}
