#include "Fakes.h"
#include "RatedVoltage.h"
#include "VoltageClass.h"

#include <algorithm>

#include <gtest/gtest.h>

TEST(FactoryValues, LimitsFollowTheRatedVoltageAndEverythingElseIsFixed) {
    const std::vector<std::tuple<int, std::string, std::string>> rows = {
        {100, "124", "80"},  {110, "136", "88"},  {220, "275", "165"},
        {230, "288", "173"}, {240, "300", "180"}, {0, "読取不可", "読取不可"}};
    for (const auto& [rated, upper, lower] : rows) {
        FakeWindow w;
        w.UpDown[3] = 7;
        w.SetComboItemIndex(5, 0);
        for (int c = 6; c <= 8; ++c)
            w.SetComboEnabled(c, false);
        TUpsSettings settings;
        w.ShowSettings(settings, ApplyFactoryValues(settings, rated), TShowCause::Factory);
        EXPECT_EQ(w.Edit[1], upper) << rated;
        EXPECT_EQ(w.Edit[2], lower) << rated;
        EXPECT_EQ(w.Edit[3], "2");
        EXPECT_EQ(w.UpDown[3], 7);
        const std::vector<std::string> texts = {"3",      "取り消し", "取り消し", "実行",
                                                "いいえ", "はい",     "はい",     "はい"};
        for (int c = 1; c <= 8; ++c)
            EXPECT_EQ(w.ComboText[c], texts[c - 1]) << c;
        for (int c = 6; c <= 8; ++c)
            EXPECT_TRUE(w.ComboEnabled[c]);
        EXPECT_EQ(w.ComboIndex[9], -1); // the lower group is not touched
    }
}

// Every limit a rated voltage offers or sets at the factory lies in its
// voltage class, so the class check never questions a value of the unit's own
// kind; the factory limits are dialog choices; the upper limits rise and the
// lower ones fall with the percentage; 312 V alone is withheld.
TEST(FactoryValues, EveryLimitOfARatedVoltageLiesInItsVoltageClass) {
    for (const TRatedVoltage& r : RatedVoltages()) {
        SCOPED_TRACE(r.Rated);
        const TVoltageClass own = VoltageClassOf(r.Rated);
        auto volts = [](const std::array<TLimitChoice, 4>& choices) {
            std::vector<int> v;
            for (const auto& c : choices)
                v.push_back(c.Volts);
            return v;
        };
        const std::vector<int> upper = volts(r.Upper), lower = volts(r.Lower);
        EXPECT_TRUE(std::is_sorted(upper.begin(), upper.end()));
        EXPECT_TRUE(std::is_sorted(lower.rbegin(), lower.rend()));
        EXPECT_NE(std::find(upper.begin(), upper.end(), r.FactoryUpper), upper.end());
        EXPECT_NE(std::find(lower.begin(), lower.end(), r.FactoryLower), lower.end());
        for (int v : upper)
            EXPECT_EQ(VoltageClassOf(v), own) << v;
        for (int v : lower)
            EXPECT_EQ(VoltageClassOf(v), own) << v;
        EXPECT_FALSE(VoltageClassMismatch(r.FactoryUpper, r.FactoryLower, upper.back()));
        for (bool isUpper : {true, false})
            for (const auto& c : isUpper ? r.Upper : r.Lower) {
                EXPECT_EQ(LimitOffered(isUpper, r.Rated, c), !(isUpper && c.Volts == 312));
                const std::string caption = LimitCaption(c);
                EXPECT_EQ(caption.size(), 34u);
                EXPECT_EQ(std::stoi(caption.substr(31)), c.Volts) << caption;
                EXPECT_EQ(std::stoi(caption.substr(0, 4)), c.Percent) << caption;
            }
    }
    EXPECT_EQ(FindRatedVoltage(0), nullptr);
}
