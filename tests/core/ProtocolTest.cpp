#include "Commands.h"
#include "Fakes.h"
#include "ReplyAssembler.h"

#include <gtest/gtest.h>

namespace {
// A reply goes into the settings and the window shows them; a save takes the
// window's controls back into the settings and sends from them.
struct Protocol : ::testing::Test {
    FakeWindow W;
    THexTool Hex;
    TUpsSettings Settings;
    TSettingsState& S = Settings.Words;

    Protocol() { Settings[TSettingId::FrequencyTolerance] = 3; } // as a read leaves it

    bool Read(int step, const std::string& line) {
        const bool ok = ApplyReadReply(Settings, Hex, step, line);
        W.ShowSettings(Settings, SettingsOfStep(step), TShowCause::Read);
        return ok;
    }
    std::string Save(int step) {
        for (auto [e, text] : {std::pair{1, "230"}, {2, "180"}, {3, "2"}}) // edits left alone
            if (W.Edit[e] == UnreadableText) W.Edit[e] = text;
        auto invalid = W.CollectSettings(Settings);
        if (!invalid) invalid = UnsendableSetting(Settings);
        if (invalid) return std::string("<invalid ") + Setting(*invalid).Description + ">";
        return BuildSaveCommand(Settings, Hex, step).value_or("<none>");
    }
};
} // namespace

TEST_F(Protocol, R31RoundTripKeepsHiddenBitsAndReplacesShownOnes) {
    Read(5, "A108");
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
    Read(6, "00FF");
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
    Read(6, "1200");
    EXPECT_EQ(W.ComboIndex[5], 1);
    EXPECT_EQ(W.ComboIndex[6], 0); // bit 9
    EXPECT_EQ(W.ComboIndex[7], 0); // bit 12
    EXPECT_EQ(W.ComboIndex[8], 1); // bit 11
    for (int c = 6; c <= 8; ++c)
        EXPECT_TRUE(W.ComboEnabled[c]);
}

TEST_F(Protocol, R34Bit15IsPreservedAndGatesTheOutletGroup) {
    Read(7, "8100");
    EXPECT_TRUE(S.FlagsR34[15]);
    EXPECT_TRUE(W.ComboEnabled[10]);
    EXPECT_EQ(W.ComboIndex[9], 0);
    EXPECT_EQ(W.ComboIndex[14], 1);
    W.SetComboItemIndex(14, 0);
    EXPECT_EQ(Save(7), "R34=A100");

    // Without bit 15 the outlet settings are not known and no control changes.
    FakeWindow other;
    TUpsSettings s2;
    ApplyReadReply(s2, Hex, 7, "0100");
    other.ShowSettings(s2, SettingsOfStep(7), TShowCause::Read);
    EXPECT_FALSE(s2.Words.FlagsR34[15]);
    EXPECT_EQ(s2[TSettingId::OutletManagementPresent], 0);
    EXPECT_FALSE(s2[TSettingId::IntelligentChannelControl]);
    EXPECT_EQ(other.ComboIndex[9], -1);
    EXPECT_FALSE(other.ComboEnabled[10]);
    EXPECT_EQ(*BuildSaveCommand(s2, Hex, 7), "R34=0100"); // unknown flags keep their bits
    s2[TSettingId::IntelligentChannelControl] = 0;
    EXPECT_EQ(*BuildSaveCommand(s2, Hex, 7), "R34=0000");
}

TEST_F(Protocol, EncodeR42ReplacesTwelveBitsAndKeepsTheHighNibble) {
    EXPECT_EQ(S.EncodeR42(Hex, 4000), "0FA0");
    EXPECT_EQ(S.EncodeR42(Hex, 4096), "0000");
    EXPECT_EQ(S.EncodeR42(Hex, -5), "0000");
    S.HexR42 = "505A";
    EXPECT_EQ(S.DecodeR42(Hex), 0x05A);
    EXPECT_EQ(S.EncodeR42(Hex, 4000), "5FA0");
}

TEST_F(Protocol, R42IsReadAndSavedOnlyWithOutletManagement) {
    Read(8, "005A");
    EXPECT_EQ(W.Edit[4], "読取不可");
    Read(7, "8000");
    Read(8, "305A");
    EXPECT_EQ(W.Edit[4], "90");
    EXPECT_EQ(W.UpDown[4], 90);
    EXPECT_EQ(Save(8), "<none>"); // ComboBox9 is on item 1
    W.SetComboItemIndex(9, 0);
    // The field's leading digits count; a field without any sends 0.
    for (auto [text, sent] : {std::pair{"120", "R42=3078"}, {"12abc", "R42=300C"},
                              {"読取不可", "R42=3000"}}) {
        W.SetEditText(4, text);
        EXPECT_EQ(Save(8), sent) << text;
    }
}

TEST_F(Protocol, LimitsTravelAsTenthsOfVolts) {
    Read(1, "04D8");
    EXPECT_EQ(W.Edit[1], "124");
    Read(1, "04DF");
    EXPECT_EQ(W.Edit[1], "124");
    EXPECT_EQ(Save(1), "R5=04D8");
    W.SetEditText(2, " 95");
    EXPECT_EQ(Save(2), "R4=03B6");
    W.SetEditText(1, "6553");
    EXPECT_EQ(Save(1), "R5=FFFA");
    // Out of the 16-bit range or not a number: refused before any step, never wrapped.
    for (auto [edit, text, refused] :
         {std::tuple{1, "7000", "upper limit"}, {2, "-1", "lower limit"},
          {1, "288V", "upper limit"}, {3, "abc", "shutdown delay"}}) {
        W.Edit = {{1, "230"}, {2, "180"}, {3, "2"}, {4, "0"}};
        W.SetEditText(edit, text);
        for (int step : {0, 1, 3})
            EXPECT_EQ(Save(step), std::string("<invalid ") + refused + ">") << text;
    }
}

TEST_F(Protocol, DelayAndFrequencyReplies) {
    Read(3, "300");
    EXPECT_EQ(W.UpDown[3], 300);
    EXPECT_EQ(W.Edit[3], "300");
    EXPECT_EQ(Save(3), "TD=300");

    Read(4, "6");
    EXPECT_EQ(W.ComboIndex[1], 2);
    Read(4, "7");
    EXPECT_EQ(W.ComboIndex[1], 2);
    EXPECT_EQ(Save(4), "F%=6");
    Read(4, "30");
    EXPECT_EQ(W.ComboText[1], "15");
    EXPECT_EQ(W.ComboIndex[1], -1);
    EXPECT_EQ(S.FPercentNumber, 15);
    EXPECT_EQ(Save(4), "F%=30"); // no item: the kept number unchanged
}

// A save sends nothing while a value it needs is not known or does not fit.
TEST(SaveCheck, AValueASaveNeedsMustBeKnownAndFitItsWord) {
    using I = TSettingId;
    const struct {
        I Setting;
        std::optional<int> Value;
        std::optional<I> Refused;
    } cases[] = {
        {I::UpperLimit, 6553, std::nullopt}, {I::UpperLimit, 6554, I::UpperLimit},
        {I::UpperLimit, std::nullopt, I::UpperLimit}, {I::LowerLimit, -1, I::LowerLimit},
        {I::ShutdownDelay, std::nullopt, I::ShutdownDelay},
        {I::FrequencyTolerance, std::nullopt, I::FrequencyTolerance},
        {I::OutletDelay, std::nullopt, I::OutletDelay}, // channel control is on
        {I::BiweeklySelfTest, std::nullopt, std::nullopt}, // keeps the unit's bit
    };
    for (const auto& c : cases) {
        TUpsSettings s;
        for (auto [id, v] : {std::pair{I::UpperLimit, 288}, {I::LowerLimit, 173},
                             {I::ShutdownDelay, 2}, {I::FrequencyTolerance, 3},
                             {I::IntelligentChannelControl, 1}, {I::OutletDelay, 90},
                             {I::BiweeklySelfTest, 1}})
            s[id] = v;
        s[c.Setting] = c.Value;
        EXPECT_EQ(UnsendableSetting(s), c.Refused) << Setting(c.Setting).Name;
    }
}

TEST_F(Protocol, EmptyReplyDecodesAsZeroAndFailsIdentification) {
    EXPECT_FALSE(Read(0, ""));
    EXPECT_FALSE(Read(0, "ORVIX 230k"));
    EXPECT_FALSE(Read(0, "short l"));
    EXPECT_TRUE(Read(0, "ORVIX-BQ1l 230V"));
    EXPECT_EQ(Settings.Identification, "ORVIX-BQ1l 230V");
    Read(1, "");
    EXPECT_EQ(W.Edit[1], "0");
    Read(3, "");
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
