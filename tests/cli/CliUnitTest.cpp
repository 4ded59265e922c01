// The settings-by-name mapping both ways, value refusals and argument errors.
#include "Arguments.h"
#include "HeadlessWindow.h"
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
    int Control; // the edit text or combo item it becomes, checked below
    const char* ControlShows;
};

TEST(Settings, EveryWritableNameMapsToItsControlAndBack) {
    const TMapping table[] = {
        {"upper_limit_v", "276", 276, "276", 1, "276"},
        {"lower_limit_v", "173.0", 173, "173", 2, "173"},
        {"shutdown_delay_min", "600", 600, "600", 3, "600"},
        {"outlet_delay_s", "0", 0, "0", 4, "0"},
        {"frequency_tolerance_hz", "10", 10, "10", 1, "10"},
        {"biweekly_self_test", "yes", 1, "true", 2, "実行"},
        {"fault_alarm_delay", "FALSE", 0, "false", 3, "取り消し"},
        {"backup_warning_auto_stop", "1", 1, "true", 4, "実行"},
        {"alarm_sound_stop", "true", 1, "true", 5, "はい"},
        {"backup_warning_sound", "no", 0, "false", 6, "いいえ"},
        {"overload_warning_sound", "0", 0, "false", 7, "いいえ"},
        {"battery_low_warning_sound", "Yes", 1, "true", 8, "はい"},
        {"intelligent_channel_control", "false", 0, "false", 9, "取り消し"},
        {"mains_overload_shutdown", "true", 1, "true", 10, "実行"},
        {"high_temperature_shutdown", "true", 1, "true", 11, "実行"},
        {"battery_low_shutdown", "true", 1, "true", 12, "実行"},
        {"battery_overload_shutdown", "true", 1, "true", 13, "実行"},
        {"auto_supply_after_overload", "true", 1, "true", 14, "実行"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Name);
        const TFieldDef* f = FindField(row.Name);
        ASSERT_NE(f, nullptr);
        std::string error;
        ASSERT_EQ(ParseValue(*f, row.Typed, error), row.Value) << error;
        EXPECT_EQ(FormatValue(*f, row.Value), row.Printed);

        THeadlessWindow w;
        ApplyToWindow(w, *f, row.Value);
        const bool edit = f->Kind == TFieldKind::Volts || f->Kind == TFieldKind::Integer;
        EXPECT_EQ(edit ? w.EditText(row.Control) : w.ComboText(row.Control), row.ControlShows);
        // Back from the controls, with outlet management present (R34 bit 15).
        const TUnitSettings s = SettingsFromWindow(w, "", {{"R34", "8000"}});
        EXPECT_EQ(s[*f], row.Value);
        for (const auto& other : Fields()) {
            if (&other != f && other.Control && other.Control != f->Control &&
                other.Kind == f->Kind) {
                EXPECT_FALSE(s[other].has_value()) << other.Name << " was touched too";
            }
        }
    }
}

TEST(Settings, OutletSettingsAreUnknownWithoutOutletManagement) {
    THeadlessWindow w;
    ApplyToWindow(w, *FindField("intelligent_channel_control"), 1);
    ApplyToWindow(w, *FindField("outlet_delay_s"), 90);
    const TUnitSettings s = SettingsFromWindow(w, "", {{"R34", "7F00"}});
    EXPECT_EQ(s["outlet_management_present"], 0);
    EXPECT_FALSE(s["intelligent_channel_control"].has_value());
    EXPECT_FALSE(s["outlet_delay_s"].has_value());
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
    TUnitSettings before;
    before["outlet_management_present"] = 1;
    before["intelligent_channel_control"] = 0;
    before["alarm_sound_stop"] = 1;
    TUnitSettings bare;
    bare["outlet_management_present"] = 0;
    const struct {
        const TUnitSettings& Unit;
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
    ASSERT_EQ(all.size(), static_cast<qsizetype>(Fields().size()));
    for (const auto& f : Fields()) {
        SCOPED_TRACE(f.Name);
        const auto it = std::find_if(all.begin(), all.end(), [&](const QJsonValue& v) {
            return v.toObject()["name"].toString() == f.Name;
        });
        ASSERT_NE(it, all.end());
        const QJsonObject o = it->toObject();
        EXPECT_EQ(o["writable"].toBool(), f.Writable);
        EXPECT_FALSE(o["maps_to"].toString().isEmpty());
        for (int rated : {100, 110, 220, 230, 240}) {
            if (f.Kind != TFieldKind::Volts) continue;
            std::vector<int> choices;
            for (const auto& v : o["choices"][QString::number(rated)].toArray())
                choices.push_back(v.toInt());
            EXPECT_EQ(choices, LimitChoices(f.Control == 1, rated)) << rated;
        }
    }
    const std::string table = SettingsListing(240, false);
    EXPECT_NE(table.find("240 V: 276, 288, 300 "), std::string::npos) << table;
    EXPECT_EQ(table.find("230 V"), std::string::npos) << table;
}

TEST(Session, StatusesOfAFailedSequenceAreJudged) {
    const struct {
        const char* Status;
        int Exit; // -1: no failure
        const char* Message;
    } table[] = {
        {" Unexpected reply to R5: \"1111\"", ExitNoReply,
         "answered R5 (upper_limit_v) with a reply that does not fit it: \"1111\""},
        {" Read failed: UPS rejected R31", ExitRejected, "rejected the read of R31 (biweekly"},
        {" Save failed: UPS rejected R4", ExitRejected, "rejected R4= (lower_limit_v)"},
        {" Invalid value: MaskEdit1", ExitUsage, "the save stopped at MaskEdit1"},
        {" Reading data from UPS completed", -1, ""},
        {" Saving Complete", -1, ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Status);
        const auto f = FailureOfStatus(row.Status);
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
