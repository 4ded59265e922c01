#include "FactoryValues.h"
#include "Fakes.h"

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
        ApplyFactoryValues(w, rated);
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
