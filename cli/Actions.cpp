#include "Actions.h"

#include "PortList.h"
#include "Report.h"
#include "Session.h"
#include "WritePlan.h"

#include <iostream>
#include <unistd.h>

namespace {

int Report(TTranscript& log, int exit, const std::string& message) {
    if (!message.empty())
        std::cerr << "orvix-ups: " << message << (message.back() == '\n' ? "" : "\n");
    log.Note("exit " + std::to_string(exit) + (message.empty() ? "" : ": " + message));
    return exit;
}

int Report(TTranscript& log, const TFailure& f) {
    return Report(log, f.Exit, f.Message);
}

// Everything that can be refused without the unit is refused here.
std::optional<TFailure> Prepare(const TArguments& a, std::optional<TPortTarget>& port,
                                TTranscript& log) {
    port = ResolvePort(a.Port);
    if (!port)
        return TFailure{ExitUsage,
                        "--port takes COM1..COM4 or a device path, not \"" + a.Port + "\""};
    std::string error;
    if (!a.LogFile.empty() && !log.Open(a.LogFile, error))
        return TFailure{ExitUsage, "cannot write the log: " + error};
    const char* const names[] = {"help", "version", "ports", "read", "write", "factory"};
    const std::string line = std::string("orvix-ups ") + names[static_cast<int>(a.Command)];
    log.Note(line + " on " + Where(*port));
    return std::nullopt;
}

} // namespace

int RunPorts(const TArguments& a) {
    const auto ports = ListPorts();
    std::cout << (a.Json ? PortsJson(ports) + "\n" : PortsTable(ports));
    for (const auto& grabber : SerialGrabbers())
        std::cerr << "orvix-ups: warning: " << grabber
                  << " is running; it may grab USB serial adapters (stop it, or tell it to "
                     "leave the adapter alone)\n";
    return ExitOk;
}

int RunRead(const TArguments& a) {
    TTranscript log;
    std::optional<TPortTarget> port;
    if (auto f = Prepare(a, port, log)) return Report(log, *f);
    TUpsSession session(*port, log, isatty(STDERR_FILENO) != 0);
    if (auto f = session.Connect()) return Report(log, *f);
    const TUnitSettings s = session.Settings();
    std::cout << (a.Json ? SettingsJson(s) + "\n" : SettingsTable(s));
    return Report(log, ExitOk, "");
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

    TUpsSession session(*port, log, isatty(STDERR_FILENO) != 0);
    if (auto f = session.Connect()) return Report(log, *f);
    TWriteReport report{port->Name, port->Path, session.Settings(), {}, {}, {}};

    if (factory) {
        if (auto f = session.Factory(a.Rated)) return Report(log, *f);
    } else {
        std::vector<std::string> notes;
        if (auto refusal = FitToUnit(report.Before, changes, notes))
            return Report(log, ExitUsage, *refusal + "; nothing was written");
        for (const auto& note : notes)
            std::cerr << "orvix-ups: " << note << "\n";
        for (const auto& c : changes.Changes)
            ApplyToWindow(session.Window(), *c.Field, c.Value);
    }
    if (auto unsendable = UnsendableValue(session.Window()))
        return Report(log, ExitUsage, *unsendable + "; nothing was written");
    const TUnitSettings held =
        SettingsFromWindow(session.Window(), report.Before.Identification, report.Before.Registers);
    report.Written = ExpectedAfterSave(held, report.Before);

    if (auto f = session.Save()) return Report(log, *f);
    if (a.NoVerify) {
        if (session.LastReplyMissing())
            return Report(log, ExitNoReply,
                          "the UPS did not answer the last command of the save (R42=); run "
                          "orvix-ups read to see what it holds");
        std::cout << (a.Json ? WriteJson(report) + "\n" : WriteTable(report));
        return Report(log, ExitOk, "");
    }
    if (auto f = session.Read()) {
        f->Message = "the save went out, but reading it back failed: " + f->Message;
        return Report(log, *f);
    }
    report.ReadBack = session.Settings();
    report.Mismatches = Compare(report.Written, *report.ReadBack);
    std::cout << (a.Json ? WriteJson(report) + "\n" : WriteTable(report));
    if (!report.Mismatches.empty())
        return Report(log, ExitDiffers,
                      "the UPS reads back other values than were written:\n" +
                          MismatchLines(report.Mismatches));
    return Report(log, ExitOk, "");
}
