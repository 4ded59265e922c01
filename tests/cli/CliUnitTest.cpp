// The settings-by-name mapping both ways, value refusals and argument errors.
#include "Arguments.h"
#include "Commands.h"
#include "Report.h"
#include "Session.h"
#include "Settings.h"
#include "WritePlan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct TMapping {
    const char* Name;
    const char* Typed;
    int Value;
    const char* Printed;
    const char* Sent; // the save command that carries it
};

// A name's value goes into the settings, out as its save command, and back in
// from that command's word as a read takes it, changing nothing else.
TEST(Settings, EveryWritableNameTravelsToItsRegisterAndBack) {
    const TMapping table[] = {
        {"upper_limit_v", "276", 276, "276", "R5=0AC8"},
        {"lower_limit_v", "173.0", 173, "173", "R4=06C2"},
        {"shutdown_delay_min", "600", 600, "600", "TD=600"},
        {"outlet_delay_s", "0", 0, "0", "R42=0000"},
        {"frequency_tolerance_hz", "10", 10, "10", "F%=20"},
        {"biweekly_self_test", "yes", 1, "true", "R31=2000"},
        {"fault_alarm_delay", "FALSE", 0, "false", "R31=0000"},
        {"backup_warning_auto_stop", "1", 1, "true", "R31=0001"},
        {"alarm_sound_stop", "true", 1, "true", "R28=00FF"},
        {"backup_warning_sound", "no", 0, "false", "R28=0000"},
        {"overload_warning_sound", "0", 0, "false", "R28=0000"},
        {"battery_low_warning_sound", "Yes", 1, "true", "R28=0800"},
        {"intelligent_channel_control", "false", 0, "false", "R34=8000"},
        {"mains_overload_shutdown", "true", 1, "true", "R34=8300"},
        {"high_temperature_shutdown", "true", 1, "true", "R34=8500"},
        {"battery_low_shutdown", "true", 1, "true", "R34=8900"},
        {"battery_overload_shutdown", "true", 1, "true", "R34=9100"},
        {"auto_supply_after_overload", "true", 1, "true", "R34=A100"},
    };
    const THexTool hex;
    auto unit = [&] {
        TUpsSettings s;
        const char* replies[] = {"ORVIX-BQ1l", "0B40", "06C2", "2",   "6",
                                 "0000",       "0000", "8100", "0005"};
        for (int step = 0; step <= LastStep; ++step)
            ApplyReadReply(s, hex, step, replies[step]);
        return s;
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Name);
        const TSettingDef* f = FindSetting(row.Name);
        ASSERT_NE(f, nullptr);
        std::string error;
        ASSERT_EQ(ParseValue(*f, row.Typed, error), row.Value) << error;
        EXPECT_EQ(FormatValue(*f, row.Value), row.Printed);

        TUpsSettings s = unit();
        const TUpsSettings before = s;
        s[*f] = row.Value;
        const auto sent = BuildSaveCommand(s, hex, f->Step);
        ASSERT_TRUE(sent);
        EXPECT_EQ(*sent, row.Sent);
        TUpsSettings back = unit();
        ApplyReadReply(back, hex, f->Step, sent->substr(sent->find('=') + 1));
        EXPECT_EQ(back[*f], row.Value);
        // Stopping every alarm sound turns the sounds off with it.
        const bool allStopped = f->Id == TSettingId::AlarmSoundStop && row.Value;
        for (const auto& other : SettingTable()) {
            if (&other != f && other.Step == f->Step && !allStopped) {
                EXPECT_EQ(back[other], before[other]) << other.Name << " changed too";
            }
        }
    }
}

// Without outlet management the outlet settings are not known: they print as
// null, and a save keeps the bits the unit holds and sends no delay.
TEST(Settings, OutletSettingsAreUnknownWithoutOutletManagement) {
    const THexTool hex;
    TUpsSettings s;
    ApplyReadReply(s, hex, 7, "7F00");
    ApplyReadReply(s, hex, 8, "0FFF");
    EXPECT_EQ(s["outlet_management_present"], 0);
    for (const auto& f : SettingTable())
        if (f.Outlet) {
            EXPECT_FALSE(s[f].has_value()) << f.Name;
        }
    EXPECT_EQ(FormatValue(*FindSetting("outlet_delay_s"), s["outlet_delay_s"]), "null");
    EXPECT_EQ(BuildSaveCommand(s, hex, 7), "R34=7F00");
    EXPECT_FALSE(BuildSaveCommand(s, hex, 8));
}

struct TRefusal {
    std::vector<std::string> Sets;
    int Rated;
    bool AnyLimit;
    const char* Message; // empty: accepted
};

TEST(Settings, ValuesAreRefusedBeforeAnythingIsSent) {
    const TRefusal table[] = {
        {{"upper_limit_v=300"}, 240, false, ""},
        {{"upper_limit_v=312"}, 240, false, "dialog at 240 V: 276, 288, 300 "},
        {{"upper_limit_v=312"}, 230, false, "265, 276, 288, 299"},
        {{"lower_limit_v=174"}, 230, false, "196, 184, 173, 161"},
        {{"lower_limit_v=95"}, 100, false, ""},
        {{"upper_limit_v=1234"}, 230, true, ""},
        {{"upper_limit_v=6554"}, 230, true, "above 6553 V"},
        {{"upper_limit_v=288.5"}, 230, true, "not a whole number of volts"},
        {{"shutdown_delay_min=0"}, 230, false, "outside 1-600"},
        {{"shutdown_delay_min=601"}, 230, false, "outside 1-600"},
        {{"frequency_tolerance_hz=11"}, 230, false, "outside 1-10"},
        {{"outlet_delay_s=4001"}, 230, false, "outside 0-4000"},
        {{"outlet_delay_s=-1"}, 230, false, "is not a number"},
        {{"fault_alarm_delay=maybe"}, 230, false, "true/false/yes/no/1/0"},
        {{"outlet_management_present=true"}, 230, false, "read only"},
        {{"identification=x"}, 230, false, "read only"},
        {{"upper_limit=288"}, 230, false, "unknown setting \"upper_limit\""},
        {{"fault_alarm_delay"}, 230, false, "NAME=VALUE"},
        {{"fault_alarm_delay=1", "fault_alarm_delay=0"}, 230, false, "twice"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Sets.front());
        TChangeSet set;
        const auto error = CollectSets(row.Sets, row.Rated, row.AnyLimit, set);
        if (*row.Message == '\0') {
            EXPECT_FALSE(error) << *error;
            EXPECT_EQ(set.Changes.size(), 1u);
        } else {
            ASSERT_TRUE(error);
            EXPECT_NE(error->find(row.Message), std::string::npos) << *error;
        }
    }
}

struct TFit {
    const char* Set;
    bool Explicit;
    const char* Message; // empty: kept
    std::size_t Kept;
};

TEST(Settings, ChangesTheUnitCannotTakeAreRefusedOrLeftOut) {
    // A unit with outlet management, channel control off and every sound stopped.
    TUpsSettings before;
    before["outlet_management_present"] = 1;
    before["intelligent_channel_control"] = 0;
    before["alarm_sound_stop"] = 1;
    TUpsSettings bare;
    bare["outlet_management_present"] = 0;
    const struct {
        const TUpsSettings& Unit;
        TFit Fit;
    } table[] = {
        {before, {"outlet_delay_s=120", true, "only while intelligent_channel_control", 0}},
        {before, {"outlet_delay_s=120", false, "", 0}},
        {before, {"backup_warning_sound=true", true, "alarm_sound_stop=false", 0}},
        {before, {"backup_warning_sound=false", true, "", 1}},
        {bare, {"mains_overload_shutdown=true", true, "no outlet management", 0}},
        {bare, {"mains_overload_shutdown=true", false, "", 0}},
        {bare, {"fault_alarm_delay=true", true, "", 1}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.Fit.Set) + (row.Fit.Explicit ? " --set" : " --from"));
        TChangeSet set;
        ASSERT_FALSE(CollectSets({row.Fit.Set}, 230, false, set));
        set.Explicit = row.Fit.Explicit;
        std::vector<std::string> notes;
        const auto error = FitToUnit(row.Unit, set, notes);
        if (*row.Fit.Message == '\0') {
            EXPECT_FALSE(error);
            EXPECT_EQ(set.Changes.size(), row.Fit.Kept);
            EXPECT_EQ(notes.size(), 1u - row.Fit.Kept);
        } else {
            ASSERT_TRUE(error);
            EXPECT_NE(error->find(row.Fit.Message), std::string::npos) << *error;
        }
    }
}

TEST(Arguments, MistakesAreNamed) {
    const struct {
        std::vector<std::string> Args;
        const char* Message;
    } table[] = {
        {{}, "command is missing"},
        {{"status"}, "unknown command \"status\""},
        {{"read"}, "needs --port"},
        {{"read", "--port"}, "--port needs a value"},
        {{"read", "--port", "COM1", "--port", "COM2"}, "--port is given twice"},
        {{"read", "--port", "COM1", "--any-limit"}, "--any-limit does not go with read"},
        {{"read", "--port", "COM1", "--json=yes"}, "--json takes no value"},
        {{"read", "--port", "COM1", "extra"}, "unexpected word \"extra\""},
        {{"ports", "--verbose"}, "unknown option --verbose"},
        {{"write", "--port", "COM1", "--set", "a=1"}, "needs --rated"},
        {{"write", "--port", "COM1", "--rated", "231", "--set", "a=1"}, "--rated must be"},
        {{"write", "--port", "COM1", "--rated", "230"}, "either --set"},
        {{"write", "--port", "COM1", "--rated", "230", "--set", "a=1", "--from", "f"},
         "either --set"},
        {{"factory", "--port", "COM1"}, "needs --rated"},
        {{"wrte"}, "did you mean write?"},
        {{"read", "-p", "COM1", "--jsn"}, "did you mean --json?"},
        {{"read", "-p", "COM1", "-x"}, "unknown option -x"},
        {{"read", "-p", "COM1", "--reply-wait", "100"}, "from 200 to 60000"},
        {{"read", "-p", "COM1", "--reply-wait", "1e3"}, "from 200 to 60000"},
        {{"read", "-p", "COM1", "-jp"}, "-p needs a value of its own"},
        {{"read", "-p", "COM1", "--force"}, "--force does not go with read"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Message);
        try {
            ParseArguments(row.Args);
            ADD_FAILURE() << "accepted";
        } catch (const TUsageError& e) {
            EXPECT_NE(std::string(e.what()).find(row.Message), std::string::npos) << e.what();
        }
    }
    const TArguments a =
        ParseArguments({"write", "--port=COM2", "--rated", "240", "--set", "upper_limit_v=300",
                        "--set=fault_alarm_delay=no", "--no-verify", "--json", "--log", "t.log"});
    EXPECT_EQ(a.Command, TCommand::Write);
    EXPECT_EQ(a.Port, "COM2");
    EXPECT_EQ(a.Rated, 240);
    EXPECT_EQ(a.Sets, (std::vector<std::string>{"upper_limit_v=300", "fault_alarm_delay=no"}));
    EXPECT_TRUE(a.NoVerify && a.Json && !a.AnyLimit);
    EXPECT_EQ(a.LogFile, "t.log");
    // Short options, a value run on, and flags run together.
    const TArguments b = ParseArguments(
        {"factory", "-pCOM3", "-r", "100", "-jq", "--force", "--dry-run", "--reply-wait=1000"});
    EXPECT_EQ(b.Port, "COM3");
    EXPECT_EQ(b.Rated, 100);
    EXPECT_TRUE(b.Json && b.Quiet && b.Force && b.DryRun);
    EXPECT_EQ(b.ReplyWaitMs, 1000);
}

// The listing shows what a write takes: every name, and the limit choices per rated voltage.
TEST(Settings, TheListingHasEveryNameAndTheLimitChoices) {
    const QJsonArray all = QJsonDocument::fromJson(SettingsListing(0, true).c_str()).array();
    ASSERT_EQ(all.size(), static_cast<qsizetype>(SettingTable().size()));
    for (const auto& f : SettingTable()) {
        SCOPED_TRACE(f.Name);
        const auto it = std::find_if(all.begin(), all.end(), [&](const QJsonValue& v) {
            return v.toObject()["name"].toString() == f.Name;
        });
        ASSERT_NE(it, all.end());
        const QJsonObject o = it->toObject();
        EXPECT_EQ(o["writable"].toBool(), f.Writable);
        EXPECT_FALSE(o["maps_to"].toString().isEmpty());
        for (int rated : {100, 110, 220, 230, 240}) {
            if (f.Kind != TSettingKind::Volts) continue;
            std::vector<int> choices;
            for (const auto& v : o["choices"][QString::number(rated)].toArray())
                choices.push_back(v.toInt());
            EXPECT_EQ(choices, LimitChoices(f.Id == TSettingId::UpperLimit, rated)) << rated;
        }
    }
    const std::string table = SettingsListing(240, false);
    EXPECT_NE(table.find("240 V: 276, 288, 300 "), std::string::npos) << table;
    EXPECT_EQ(table.find("230 V"), std::string::npos) << table;
}

TEST(Session, OutcomesOfAFailedSequenceAreJudged) {
    using K = TOutcomeKind;
    const struct {
        TOutcome Outcome;
        int Exit; // -1: no failure
        const char* Message;
    } table[] = {
        {{K::UnexpectedReply, "R5", "1111"}, ExitNoReply,
         "answered R5 (upper_limit_v) with a reply that does not fit it: \"1111\""},
        {{K::ReadRejected, "R31"}, ExitRejected, "rejected the read of R31 (biweekly"},
        {{K::SaveRejected, "R4"}, ExitRejected, "rejected R4= (lower_limit_v)"},
        {{K::InvalidValue, {}, {}, TSettingId::ShutdownDelay}, ExitUsage,
         "shutdown_delay_min to save cannot be sent; nothing was"},
        {{K::ReadCompleted}, -1, ""},
        {{K::SaveCompleted}, -1, ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(StatusText(row.Outcome));
        const auto f = FailureOfOutcome(row.Outcome);
        ASSERT_EQ(f.has_value(), row.Exit >= 0);
        if (!f) continue;
        EXPECT_EQ(f->Exit, row.Exit);
        EXPECT_NE(f->Message.find(row.Message), std::string::npos) << f->Message;
    }
}

TEST(Arguments, PortsAreComNamesOrDevicePaths) {
    for (const char* v : {"ORVIX_COM1", "ORVIX_COM3", "ORVIX_COM4"})
        unsetenv(v);
    setenv("ORVIX_COM2", "/dev/ttyUSB7", 1);
    const struct {
        const char* Text;
        int Com;
        const char* Path; // nullptr: refused
    } table[] = {
        {"COM1", 1, "/dev/ttyS0"},       {"com2", 2, "/dev/ttyUSB7"}, {"COM4", 4, "/dev/ttyS3"},
        {"/dev/pts/7", 1, "/dev/pts/7"}, {"COM5", 0, nullptr},        {"ttyUSB0", 0, nullptr},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Text);
        const auto target = ResolvePort(row.Text);
        ASSERT_EQ(target.has_value(), row.Path != nullptr);
        if (!target) continue;
        EXPECT_EQ(target->ComNumber, row.Com);
        EXPECT_EQ(target->Path, row.Path);
    }
    unsetenv("ORVIX_COM2");
}

} // namespace
