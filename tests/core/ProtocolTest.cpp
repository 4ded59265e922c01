#include "Commands.h"
#include "Fakes.h"
#include "FlagWords.h"
#include "ReplyAssembler.h"

#include <gtest/gtest.h>

namespace {
struct Protocol : ::testing::Test {
    FakeWindow W;
    THexTool Hex;
    TSettingsState S;
    TProtocolContext Ctx{W, S, Hex};

    std::string Save(int step) {
        const auto c = BuildSaveCommand(Ctx, step);
        return c.Line ? *c.Line
                      : (c.InvalidField.empty() ? "<none>" : "<invalid " + c.InvalidField + ">");
    }
};
} // namespace

TEST_F(Protocol, R31RoundTripKeepsHiddenBitsAndReplacesShownOnes) {
    ApplyReadReply(Ctx, 5, "A108");
    EXPECT_EQ(W.ComboIndex[2], 0); // bit 13 set
    EXPECT_EQ(W.ComboIndex[3], 0); // bit 3 set
    EXPECT_EQ(W.ComboIndex[4], 1); // bit 0 clear
    EXPECT_EQ(Save(5), "R31=A108");
    W.SetComboItemIndex(3, 1);
    EXPECT_EQ(Save(5), "R31=A100");
    EXPECT_EQ(S.HexR31, "A100");
}

TEST_F(Protocol, NeverReadWordSendsOnlyTheShownBits) {
    W.SetComboItemIndex(2, 0);
    EXPECT_EQ(Save(5), "R31=2000");
}

TEST_F(Protocol, AlarmStopRuleInBothDirections) {
    ApplyReadReply(Ctx, 6, "00FF");
    EXPECT_EQ(W.ComboIndex[5], 0);
    for (int c = 6; c <= 8; ++c) {
        EXPECT_EQ(W.ComboIndex[c], 1);
        EXPECT_FALSE(W.ComboEnabled[c]);
    }
    for (int k = 0; k < 8; ++k)
        EXPECT_TRUE(S.FlagsR28[k]);
    EXPECT_EQ(Save(6), "R28=00FF");

    W.SetComboItemIndex(5, 1);
    for (int c = 6; c <= 8; ++c)
        W.SetComboItemIndex(c, 0);
    EXPECT_EQ(Save(6), "R28=1AFF");

    // Any other word enables the three boxes again and shows its bits.
    ApplyReadReply(Ctx, 6, "1200");
    EXPECT_EQ(W.ComboIndex[5], 1);
    EXPECT_EQ(W.ComboIndex[6], 0); // bit 9
    EXPECT_EQ(W.ComboIndex[7], 0); // bit 12
    EXPECT_EQ(W.ComboIndex[8], 1); // bit 11
    for (int c = 6; c <= 8; ++c)
        EXPECT_TRUE(W.ComboEnabled[c]);
}

TEST_F(Protocol, R34Bit15IsPreservedAndGatesTheOutletGroup) {
    ApplyReadReply(Ctx, 7, "8100");
    EXPECT_TRUE(S.FlagsR34[15]);
    EXPECT_TRUE(W.ComboEnabled[10]);
    EXPECT_EQ(W.ComboIndex[9], 0);
    EXPECT_EQ(W.ComboIndex[14], 1);
    W.SetComboItemIndex(14, 0);
    EXPECT_EQ(Save(7), "R34=A100");

    FakeWindow other;
    TSettingsState s2;
    TProtocolContext c2{other, s2, Hex};
    ApplyReadReply(c2, 7, "0100");
    EXPECT_FALSE(s2.FlagsR34[15]);
    EXPECT_EQ(other.ComboIndex[9], -1); // nothing else changes without bit 15
    EXPECT_FALSE(other.ComboEnabled[10]);
    other.SetComboItemIndex(9, 0);
    EXPECT_EQ(*BuildSaveCommand(c2, 7).Line, "R34=0100");
}

TEST_F(Protocol, EncodeR42ReplacesTwelveBitsAndKeepsTheHighNibble) {
    EXPECT_EQ(S.EncodeR42(Hex, "4000"), "0FA0");
    EXPECT_EQ(S.EncodeR42(Hex, "4096"), "0000");
    EXPECT_EQ(S.EncodeR42(Hex, "-5"), "0000");
    EXPECT_EQ(S.EncodeR42(Hex, "12abc"), "000C");
    EXPECT_EQ(S.EncodeR42(Hex, "読取不可"), "0000");
    S.HexR42 = "505A";
    EXPECT_EQ(S.DecodeR42(Hex), 0x05A);
    EXPECT_EQ(S.EncodeR42(Hex, "4000"), "5FA0");
}

TEST_F(Protocol, R42IsReadAndSavedOnlyWithOutletManagement) {
    ApplyReadReply(Ctx, 8, "005A");
    EXPECT_EQ(W.Edit[4], "読取不可");
    ApplyReadReply(Ctx, 7, "8000");
    ApplyReadReply(Ctx, 8, "305A");
    EXPECT_EQ(W.Edit[4], "90");
    EXPECT_EQ(W.UpDown[4], 90);
    EXPECT_EQ(Save(8), "<none>"); // ComboBox9 is on item 1
    W.SetComboItemIndex(9, 0);
    W.SetEditText(4, "120");
    EXPECT_EQ(Save(8), "R42=3078");
}

TEST_F(Protocol, LimitsTravelAsTenthsOfVolts) {
    ApplyReadReply(Ctx, 1, "04D8");
    EXPECT_EQ(W.Edit[1], "124");
    ApplyReadReply(Ctx, 1, "04DF");
    EXPECT_EQ(W.Edit[1], "124");
    EXPECT_EQ(Save(1), "R5=04D8");
    W.SetEditText(2, " 95");
    EXPECT_EQ(Save(2), "R4=03B6");
    W.SetEditText(1, "6553");
    EXPECT_EQ(Save(1), "R5=FFFA");
    // Out of the 16-bit range or not a number: refused, never wrapped.
    W.SetEditText(1, "7000");
    EXPECT_EQ(Save(1), "<invalid upper limit>");
    W.SetEditText(2, "-1");
    EXPECT_EQ(Save(2), "<invalid lower limit>");
    W.SetEditText(1, "288V");
    EXPECT_EQ(Save(1), "<invalid upper limit>");
    W.SetEditText(3, "abc");
    EXPECT_EQ(Save(3), "<invalid shutdown delay>");
}

TEST_F(Protocol, DelayAndFrequencyReplies) {
    ApplyReadReply(Ctx, 3, "300");
    EXPECT_EQ(W.UpDown[3], 300);
    EXPECT_EQ(W.Edit[3], "300");
    EXPECT_EQ(Save(3), "TD=300");

    ApplyReadReply(Ctx, 4, "6");
    EXPECT_EQ(W.ComboIndex[1], 2);
    ApplyReadReply(Ctx, 4, "7");
    EXPECT_EQ(W.ComboIndex[1], 2);
    EXPECT_EQ(Save(4), "F%=6");
    ApplyReadReply(Ctx, 4, "30");
    EXPECT_EQ(W.ComboText[1], "15");
    EXPECT_EQ(W.ComboIndex[1], -1);
    EXPECT_EQ(S.FPercentNumber, 15);
    EXPECT_EQ(Save(4), "F%=30"); // no item: the kept number unchanged
}

TEST_F(Protocol, EmptyReplyDecodesAsZeroAndFailsIdentification) {
    EXPECT_FALSE(ApplyReadReply(Ctx, 0, ""));
    EXPECT_FALSE(ApplyReadReply(Ctx, 0, "ORVIX 230k"));
    EXPECT_FALSE(ApplyReadReply(Ctx, 0, "short l"));
    EXPECT_TRUE(ApplyReadReply(Ctx, 0, "ORVIX-BQ1l 230V"));
    EXPECT_EQ(S.IdentificationLine, "ORVIX-BQ1l 230V");
    ApplyReadReply(Ctx, 1, "");
    EXPECT_EQ(W.Edit[1], "0");
    ApplyReadReply(Ctx, 3, "");
    EXPECT_EQ(W.Edit[3], "");
    EXPECT_EQ(W.UpDown[3], 0);
}

TEST(ReplyAssembler, DropsNoiseAndCutsLinesAtTheBufferCapacity) {
    TReplyAssembler a;
    for (char c : std::string("0!4$D*8@\x01\r\n"))
        a.Store(c);
    EXPECT_EQ(a.TakeLine(), "04D8");
    EXPECT_EQ(a.ReplyBuffer(), std::string(35, ' '));

    TReplyAssembler first;
    for (int i = 0; i < 1000; ++i)
        first.Store(static_cast<char>('A' + i % 26));
    EXPECT_EQ(first.ReplyLength(), 42);
    EXPECT_EQ(first.ReplyBuffer().size(), 42u);
    EXPECT_EQ(first.TakeLine().size(), 42u);
    for (int i = 0; i < 1000; ++i)
        first.Store('x');
    EXPECT_EQ(first.ReplyBuffer().size(), 35u);
    EXPECT_EQ(first.TakeLine(), std::string(35, 'x'));
}
