#include "Actions.h"

#include "Arguments.h"

#include "Interrupts.h"
#include "PortList.h"
#include "ProgressTerminal.h"
#include "Report.h"
#include "Session.h"
#include "VoltageClass.h"
#include "WritePlan.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>

namespace {

// Why standard output lost something, empty while all of it went out.
std::string OutputLost;

// Results go to standard output and, line by line, into the transcript.
void Print(TTranscript& log, const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        log.Note("| " + text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if ((std::fflush(stdout) != 0 || !written) && OutputLost.empty())
        OutputLost = std::strerror(errno ? errno : EIO);
}

// Ends the run: the message on standard error, how it ended in the
// transcript, and exit 7 for a run that lost its output or transcript.
int Report(TTranscript& log, int exit, const std::string& message) {
    TUpsSession::CloseCurrent();
    if (!message.empty())
        std::cerr << "orvix-ups: " << message << (message.back() == '\n' ? "" : "\n");
    log.Note("ended with exit " + std::to_string(exit) + (message.empty() ? "" : ": " + message));
    std::string lost;
    if (!OutputLost.empty()) lost = "the output could not be written: " + OutputLost;
    if (!log.LostReason().empty() && exit != ExitLostOutput)
        lost += (lost.empty() ? "" : "; ") + std::string("the transcript could not be written: ") +
                log.LostReason();
    if (!lost.empty()) {
        std::cerr << "orvix-ups: " << lost << "\n";
        if (exit == ExitOk) exit = ExitLostOutput;
    }
    return exit;
}

int Report(TTranscript& log, const TFailure& f) {
    return Report(log, f.Exit, f.Message);
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words)
        out += " " + (w.find_first_of(" \t\"'") == std::string::npos ? w : "'" + w + "'");
    return out;
}

// Everything that can be refused without the unit is refused here. A
// transcript that cannot be written is refused too: a run without its
// record is no service record.
std::optional<TFailure> Prepare(const TArguments& a, std::optional<TPortTarget>& port,
                                TTranscript& log) {
    port = ResolvePort(a.Port);
    if (!port)
        return TFailure{ExitUsage,
                        "--port takes COM1..COM4 or a device path, not \"" + a.Port + "\""};
    std::string error;
    if (!a.LogFile.empty() && !log.Open(a.LogFile, error))
        return TFailure{ExitUsage, "cannot write the log: " + error};
    log.Note("orvix-ups" + Joined(a.Words));
    std::string version = VersionText;
    log.Note(version.substr(0, version.find('\n')));
    log.Note("port " + Where(*port));
    if (!log.LostReason().empty())
        return TFailure{ExitLostOutput,
                        "cannot write the log: " + log.LostReason() + "; nothing was sent"};
    return std::nullopt;
}

bool ShowProgress(const TArguments& a) {
    return !a.Quiet && ErrorsGoToAProgressTerminal();
}

void Configure(TUpsSession& session, const TArguments& a) {
    if (a.ReplyWaitMs) session.SetReplyWaitTicks((a.ReplyWaitMs + 199) / 200);
}

// Limits of one voltage class written into a unit of the other.
std::optional<std::string> ClassRefusal(const TUpsSettings& toSave, const TUpsSettings& before) {
    const auto upper = toSave[TSettingId::UpperLimit], lower = toSave[TSettingId::LowerLimit];
    const auto held = before[TSettingId::UpperLimit];
    if (!upper || !lower) return std::nullopt;
    const auto conflict = VoltageClassMismatch(*upper, *lower, held);
    if (!conflict) return std::nullopt;
    return "the limits to write " + *conflict + " (upper limit " + std::to_string(*held) + " V)";
}

} // namespace

int RunPorts(const TArguments& a) {
    const auto ports = ListPorts();
    TTranscript none;
    Print(none, a.Json ? PortsJson(ports) + "\n" : PortsTable(ports));
    if (!a.Quiet)
        for (const auto& grabber : SerialGrabbers())
            std::cerr << "orvix-ups: warning: " << grabber
                      << " is running; it may grab USB serial adapters (stop it, or tell it to "
                         "leave the adapter alone)\n";
    return Report(none, ExitOk, "");
}

// Connects and reads the unit, then prints what print makes of its settings;
// a failure anywhere is reported with its exit code.
static int
ReadAndPrint(const TArguments& a, TTranscript& log,
             const std::function<std::string(const TUpsSettings&, const TPortTarget&)>& print) {
    std::optional<TPortTarget> port;
    if (auto f = Prepare(a, port, log)) return Report(log, *f);
    TUpsSession session(*port, log, ShowProgress(a));
    Configure(session, a);
    if (auto f = session.Connect()) return Report(log, *f);
    Print(log, print(session.Settings(), *port));
    return Report(log, ExitOk, "");
}

int RunRead(const TArguments& a) {
    TTranscript log;
    return ReadAndPrint(a, log, [&](const TUpsSettings& s, const TPortTarget& port) {
        return a.Json ? SettingsJson(s, port.Name) + "\n" : SettingsTable(s);
    });
}

int RunWrite(const TArguments& a) {
    const bool factory = a.Command == TCommand::Factory;
    TTranscript log;
    std::optional<TPortTarget> port;
    if (auto f = Prepare(a, port, log)) return Report(log, *f);
    TChangeSet changes;
    if (!factory) {
        auto error = a.FromFile.empty() ? CollectSets(a.Sets, a.Rated, a.AnyLimit, changes)
                                        : CollectFile(a.FromFile, a.Rated, a.AnyLimit, changes);
        if (error) return Report(log, ExitUsage, *error + "; nothing was sent");
    }

    TUpsSession session(*port, log, ShowProgress(a));
    Configure(session, a);
    if (auto f = session.Connect()) return Report(log, *f);
    TWriteReport report{port->Name, port->Path, session.Settings(), {}, {}, {}, a.DryRun};

    if (factory) {
        if (auto f = session.Factory(a.Rated)) return Report(log, *f);
    } else {
        std::vector<std::string> notes;
        if (auto refusal = FitToUnit(report.Before, changes, notes))
            return Report(log, ExitUsage, *refusal + "; nothing was written");
        for (const auto& note : notes) {
            log.Note(note);
            if (!a.Quiet) std::cerr << "orvix-ups: " << note << "\n";
        }
        for (const auto& c : changes.Changes)
            session.Model()[*c.Field] = c.Value;
    }
    if (auto unsendable = UnsendableValue(session.Model()))
        return Report(log, ExitUsage, *unsendable + "; nothing was written");
    if (auto mismatch = ClassRefusal(session.Model(), report.Before)) {
        if (!a.Force)
            return Report(log, ExitUsage,
                          *mismatch + "; nothing was written (--force writes them anyway)");
        log.Note("--force: " + *mismatch);
        if (!a.Quiet) std::cerr << "orvix-ups: --force: " << *mismatch << "\n";
    }
    report.Written = ExpectedAfterSave(session.Model(), report.Before);
    auto print = [&] { Print(log, a.Json ? WriteJson(report) + "\n" : WriteTable(report)); };
    if (a.DryRun) {
        print();
        return Report(log, ExitOk, "");
    }

    if (auto f = session.Save()) {
        if (session.StoppedBySignal()) return Report(log, *f);
        // What the unit holds now matters more than what was meant for it.
        f->Message += "; the UPS took " + session.WrittenRegisters();
        if (auto again = session.ReadBack()) {
            f->Message += "; reading it back failed too: " + again->Message;
        } else {
            report.ReadBack = session.Settings();
            report.Mismatches = Compare(report.Written, *report.ReadBack);
            print();
            f->Message += "; its settings as read back now are printed";
        }
        return Report(log, *f);
    }
    if (Interrupts::Count()) {
        print();
        return Report(log, Interrupts::ExitCode(),
                      "stopped by " + Interrupts::Name(Interrupts::First()) +
                          " after the save ended; the UPS took " + session.WrittenRegisters() +
                          "; the read-back was skipped: run orvix-ups read to check");
    }
    if (a.NoVerify) {
        if (session.LastReplyMissing())
            return Report(log, ExitNoReply,
                          "the UPS did not answer the last command of the save (R42=); run "
                          "orvix-ups read to see what it holds");
        print();
        return Report(log, ExitOk, "");
    }
    if (auto f = session.Read()) {
        f->Message = "the save went out, but reading it back failed: " + f->Message;
        return Report(log, *f);
    }
    report.ReadBack = session.Settings();
    report.Mismatches = Compare(report.Written, *report.ReadBack);
    print();
    if (!report.Mismatches.empty())
        return Report(log, ExitDiffers,
                      "the UPS reads back other values than were written:\n" +
                          MismatchLines(report.Mismatches));
    return Report(log, ExitOk, "");
}

int RunGet(const TArguments& a) {
    TTranscript log;
    std::vector<const TSettingDef*> fields;
    std::vector<std::string> names;
    for (const auto& f : SettingTable())
        names.emplace_back(f.Name);
    for (const auto& name : a.Names) {
        const TSettingDef* f = FindSetting(name);
        if (!f) {
            const std::string close = Closest(name, names);
            return Report(log, ExitUsage,
                          "unknown setting \"" + name + "\"" +
                              (close.empty() ? "" : "; did you mean " + close + "?") +
                              "; nothing was sent");
        }
        fields.push_back(f);
    }
    return ReadAndPrint(a, log, [&](const TUpsSettings& s, const TPortTarget&) {
        std::string out;
        for (const TSettingDef* f : fields)
            out += (f->Kind == TSettingKind::Text ? s.Identification : FormatValue(*f, s[*f])) + "\n";
        return out;
    });
}

int RunDiff(const TArguments& a) {
    TTranscript log;
    TUpsSettings sides[2];
    for (int i = 0; i < 2; ++i) {
        const auto& side = a.Sides[static_cast<std::size_t>(i)];
        if (!side.Port) {
            if (auto error = SettingsFromFile(side.Where, sides[i]))
                return Report(log, ExitUsage, *error);
            continue;
        }
        TArguments one = a;
        one.Port = side.Where;
        std::optional<TPortTarget> port;
        if (auto f = Prepare(one, port, log)) return Report(log, *f);
        TUpsSession session(*port, log, ShowProgress(a));
        Configure(session, a);
        if (auto f = session.Connect()) return Report(log, *f);
        sides[i] = session.Settings();
    }
    const auto differences = Differences(sides[0], sides[1]);
    const std::string& left = a.Sides[0].Where;
    const std::string& right = a.Sides[1].Where;
    Print(log, a.Json ? DiffJson(left, right, differences) : DiffTable(left, right, differences));
    return Report(log, differences.empty() ? ExitOk : ExitDiffers, "");
}

int RunSettings(const TArguments& a) {
    TTranscript none;
    Print(none, SettingsListing(a.Rated, a.Json));
    return Report(none, ExitOk, "");
}
