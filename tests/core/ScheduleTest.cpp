// The sequencer against a UPS on a virtual line whose replies come late,
// jitter, get lost or come in pieces: a value never lands in another field, a
// save never sends a wrong value, and every sequence ends.
#include "VirtualLine.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

std::string Hex4(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", v & 0xFFFFu);
    return text;
}
unsigned Word(const std::string& hex) {
    return static_cast<unsigned>(std::stoul(hex, nullptr, 16));
}
int Bit(unsigned word, int k) {
    return (word >> k) & 1u ? 0 : 1; // the item that shows it: 0 set, 1 clear
}

// A unit whose registers differ from one another, so that a reply taken for
// another command shows.
std::map<std::string, std::string> RandomUnit(std::mt19937& r) {
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(r); };
    return {{"R5", Hex4(static_cast<unsigned>(pick(2500, 3200)))},
            {"R4", Hex4(static_cast<unsigned>(pick(1500, 2100)))},
            {"TD", std::to_string(pick(1, 600))},
            {"F%", std::to_string(2 * pick(1, 10))},
            {"R31", Hex4(static_cast<unsigned>(pick(0, 0xFFFF)))},
            {"R28", pick(0, 3) == 0 ? "00FF" : Hex4(static_cast<unsigned>(pick(0x0100, 0xFFFF)))},
            {"R34", Hex4(static_cast<unsigned>(pick(0, 0xFFFF)))},
            {"R42", Hex4(static_cast<unsigned>(pick(0, 0xFFFF)))}};
}

// Each field shows its own register, or was never touched (a read that ended early).
void ExpectShownOrUntouched(const FakeWindow& w, const std::map<std::string, std::string>& unit) {
    auto edit = [&](int n, const std::string& want) {
        if (w.Edit.at(n) != "読取不可") {
            EXPECT_EQ(w.Edit.at(n), want) << "MaskEdit" << n;
        }
    };
    auto combo = [&](int n, int want) {
        if (w.ComboIndex.at(n) != -1) {
            EXPECT_EQ(w.ComboIndex.at(n), want) << "ComboBox" << n;
        }
    };
    const unsigned r31 = Word(unit.at("R31")), r28 = Word(unit.at("R28"));
    const unsigned r34 = Word(unit.at("R34"));
    edit(1, std::to_string(Word(unit.at("R5")) / 10));
    edit(2, std::to_string(Word(unit.at("R4")) / 10));
    edit(3, unit.at("TD"));
    combo(1, std::stoi(unit.at("F%")) / 2 - 1);
    combo(2, Bit(r31, 13));
    combo(3, Bit(r31, 3));
    combo(4, Bit(r31, 0));
    const bool stopped = unit.at("R28") == "00FF";
    combo(5, stopped ? 0 : 1);
    combo(6, stopped ? 1 : Bit(r28, 9));
    combo(7, stopped ? 1 : Bit(r28, 12));
    combo(8, stopped ? 1 : Bit(r28, 11));
    if (!(r34 & 0x8000u)) return;
    for (int c = 9; c <= 14; ++c)
        combo(c, Bit(r34, c - 1));
    edit(4, std::to_string(Word(unit.at("R42")) & 0xFFFu));
}

// Changes the values an operator can change; returns each save command as it
// must go out, by its name ("R5=", ...).
std::map<std::string, std::string>
EditRandomly(FakeWindow& w, const std::map<std::string, std::string>& unit, std::mt19937& r) {
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(r); };
    const int upper = pick(250, 320), lower = pick(150, 210), delay = pick(1, 600);
    const int hertz = pick(1, 10), outletDelay = pick(0, 4095);
    w.SetEditText(1, std::to_string(upper));
    w.SetEditText(2, std::to_string(lower));
    w.SetEditText(3, std::to_string(delay));
    w.SetComboItemIndex(1, hertz - 1);
    for (int c = 2; c <= 8; ++c)
        w.SetComboItemIndex(c, pick(0, 1));
    w.SetEditText(4, std::to_string(outletDelay));

    auto bits = [&](unsigned word, std::initializer_list<std::pair<int, int>> shown) {
        for (const auto& [bit, combo] : shown) {
            word &= ~(1u << bit);
            if (w.ComboIndex.at(combo) == 0) word |= 1u << bit;
        }
        return Hex4(word);
    };
    const unsigned r34 = Word(unit.at("R34"));
    std::map<std::string, std::string> lines = {
        {"Xw", "Xw"},
        {"R5=", "R5=" + Hex4(static_cast<unsigned>(upper * 10))},
        {"R4=", "R4=" + Hex4(static_cast<unsigned>(lower * 10))},
        {"TD=", "TD=" + std::to_string(delay)},
        {"F%=", "F%=" + std::to_string(2 * hertz)},
        {"R31=", "R31=" + bits(Word(unit.at("R31")), {{13, 2}, {3, 3}, {0, 4}})},
        {"R28=", "R28=" + (w.ComboIndex.at(5) == 0
                               ? std::string("00FF")
                               : bits(Word(unit.at("R28")), {{9, 6}, {12, 7}, {11, 8}}))},
        {"R34=", "R34=" + bits(r34, {{8, 9}, {9, 10}, {10, 11}, {11, 12}, {12, 13}, {13, 14}})}};
    if (w.ComboIndex.at(9) == 0)
        lines["R42="] =
            "R42=" + Hex4((Word(unit.at("R42")) & 0xF000u) | static_cast<unsigned>(outletDelay));
    return lines;
}

std::string NameOf(const std::string& line) {
    const auto eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(0, eq + 1);
}

struct Outcome {
    bool ReadCompleted = false, SaveCompleted = false, ReadBackCompleted = false;
    std::size_t Commands = 0;
};

// A connect-and-read, a save after a completed read and a read after a
// completed save, checked as they go.
Outcome ReadAndSave(TVirtualLine& line, std::mt19937& r) {
    line.Registers = RandomUnit(r);
    const auto unit = line.Registers;
    FakeWindow& w = line.Window;
    line.Invariant = [&] {
        EXPECT_GE(line.Link.StepIndex, 0);
        EXPECT_LE(line.Link.StepIndex, 9);
        EXPECT_EQ(w.TimerOn, w.Locked); // the timer runs exactly while locked
    };
    Outcome outcome;
    line.Click([&] { line.Link.LMDButton1Click(); });
    EXPECT_TRUE(line.Run([&] { return !w.TimerOn; }, 60000)) << "the read never ended";
    ExpectShownOrUntouched(w, unit);
    outcome.ReadCompleted = w.Status == " Reading data from UPS completed";
    if (outcome.ReadCompleted) {
        for (int e = 1; e <= 3; ++e)
            EXPECT_NE(w.Edit.at(e), "読取不可");
        const std::size_t before = line.Sent.size();
        auto lines = EditRandomly(w, unit, r);
        line.Click([&] { line.Link.LMDButton4Click(); });
        EXPECT_TRUE(line.Run([&] { return !w.TimerOn; }, 60000)) << "the save never ended";
        line.Run([] { return false; }, 3000); // the last replies come in
        for (std::size_t i = before; i < line.Sent.size(); ++i)
            EXPECT_EQ(line.Sent[i], lines[NameOf(line.Sent[i])]) << "command " << i;
        outcome.SaveCompleted = w.Status == " Saving Complete";
        if (outcome.SaveCompleted) {
            for (const auto& [name, sent] : lines) {
                if (name == "Xw" || (name == "R42=" && !line.Received.count(sent))) continue;
                EXPECT_EQ(name + line.Registers[name.substr(0, name.size() - 1)], sent);
            }
            const auto saved = line.Registers;
            const FakeWindow blank; // what the read-back shows must come from it
            w.Edit = blank.Edit;
            w.ComboIndex = blank.ComboIndex;
            line.Click([&] { line.Link.LMDButton3Click(); });
            EXPECT_TRUE(line.Run([&] { return !w.TimerOn; }, 60000)) << "the read-back never ended";
            ExpectShownOrUntouched(w, saved);
            outcome.ReadBackCompleted = w.Status == " Reading data from UPS completed";
        }
    }
    EXPECT_LE(line.LongestSilence, 20);
    outcome.Commands = line.Sent.size();
    return outcome;
}

Outcome ReadAndSave(const TLineSchedule& schedule, std::mt19937& r) {
    TVirtualLine line(schedule);
    return ReadAndSave(line, r);
}

// A schedule drawn at random: replies take up to a second (on every other
// pair of runs up to 320 ms), some come in pieces, some several at once, and
// on odd runs commands and replies get lost.
TLineSchedule RandomSchedule(std::mt19937& r, int run) {
    TLineSchedule s;
    s.Seed = static_cast<unsigned>(r());
    const int slowest = run % 4 < 2 ? 320 : 1000;
    s.DelayMs = std::uniform_int_distribution<int>(0, slowest)(r);
    s.JitterMs = std::uniform_int_distribution<int>(0, slowest - s.DelayMs)(r);
    s.SplitReplies = 0.3;
    s.EventLatencyMs = std::uniform_int_distribution<int>(0, 1)(r) ? 30 : 0;
    if (run % 2 == 1) {
        s.LostCommands = std::uniform_real_distribution<double>(0, 0.08)(r);
        s.LostReplies = std::uniform_real_distribution<double>(0, 0.08)(r);
    }
    return s;
}
std::string Describe(const TLineSchedule& s, int run) {
    return "run " + std::to_string(run) + ", delay " + std::to_string(s.DelayMs) + " + " +
           std::to_string(s.JitterMs);
}

} // namespace

TEST(Schedules, ThousandsOfRandomLinesNeverPutAValueInTheWrongPlace) {
    std::mt19937 r(20261208);
    int prompt = 0, promptDone = 0;
    for (int run = 0; run < 2000; ++run) {
        const TLineSchedule s = RandomSchedule(r, run);
        SCOPED_TRACE(Describe(s, run));
        const Outcome o = ReadAndSave(s, r);
        // A UPS whose replies are through within two ticks of the command
        // (the read's silence rule) and that loses nothing gets every
        // sequence done; a slower or lossy one may end in a communication
        // error, never with a value out of place.
        if (s.LostCommands == 0 && s.DelayMs + s.JitterMs <= 340) {
            ++prompt;
            const bool done = o.ReadCompleted && o.SaveCompleted && o.ReadBackCompleted;
            promptDone += done;
            EXPECT_TRUE(done) << o.ReadCompleted << o.SaveCompleted << o.ReadBackCompleted;
        }
        if (HasFailure()) break;
    }
    EXPECT_EQ(promptDone, prompt);
    EXPECT_GT(prompt, 400);
}

// A program that follows another on the same UPS, as a script retrying after
// a failure does: the first one lets the replies still due arrive before it
// ends, and the next one never takes one of them, even though the unit's
// values changed in between.
TEST(Schedules, BackToBackRunsNeverTakeAnEarlierRunsAnswer) {
    std::mt19937 r(20261209);
    int lossless = 0, settled = 0;
    for (int run = 0; run < 1000; ++run) {
        const TLineSchedule s = RandomSchedule(r, run);
        SCOPED_TRACE(Describe(s, run));
        TVirtualLine first(s);
        ReadAndSave(first, r);
        // Lost replies stay due for ever; all others come in.
        const bool drained = first.Run([&] { return !first.Link.AwaitingReplies(); }, 20000);
        lossless += s.LostCommands == 0;
        settled += s.LostCommands == 0 && drained;
        TLineSchedule t = s;
        t.Seed = static_cast<unsigned>(r());
        TVirtualLine next(t, first);
        ReadAndSave(next, r); // new values: an earlier answer taken would show
        if (HasFailure()) break;
    }
    EXPECT_EQ(settled, lossless);
}

TEST(Schedules, NamedLinesEndWellAndAFastUpsGetsEachCommandOnce) {
    const struct {
        const char* Name;
        TLineSchedule Line;
        std::size_t MaxCommands; // for the read, the save and the read-back
        bool MustEndWell = true;
    } cases[] = {
        {"answers at once", {}, 27}, // one command per step
        {"190 ms", {.DelayMs = 190}, 90},
        // A reply under way at the tick needs no repeat.
        {"175 ms, character by character", {.DelayMs = 175, .PerCharacter = true}, 27},
        {"250 ms", {.DelayMs = 250}, 90},
        {"350 ms", {.DelayMs = 330}, 90},
        {"100 to 300 ms", {.DelayMs = 100, .JitterMs = 200, .Seed = 7}, 90},
        {"replies in pieces, several at once",
         {.DelayMs = 0, .SplitReplies = 0.5, .EventLatencyMs = 200, .Seed = 3},
         90},
        // A reply that never comes leaves the sequence nothing to go on with.
        {"a lost command and a lost reply", {.LoseCommand = {2}, .LoseReply = {5}}, 40, false},
        {"lost while slow",
         {.DelayMs = 250, .LoseCommand = {3, 12}, .LoseReply = {7, 20}},
         80,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::mt19937 r(1);
        const Outcome o = ReadAndSave(c.Line, r);
        EXPECT_EQ(o.ReadCompleted && o.SaveCompleted, c.MustEndWell);
        EXPECT_LE(o.Commands, c.MaxCommands);
    }
}
