#pragma once
// How a sequence ended, as the sequencer reports it: the window shows each
// kind with its status text, orvix-ups turns it into an exit code.
#include "SettingsTable.h"

#include <optional>
#include <string>
#include <utility>

enum class TOutcomeKind {
    None,            // no sequence has ended yet
    ReadCompleted,   // every setting read
    SaveCompleted,   // every command sent; the last answer may still come
    SaveConfirmed,   // every command answered
    NoReply,         // a step's reply did not come: the line failed
    Failed,          // the link failed inside a tick or a reply
    NotOurs,         // the identification does not name a unit of this line
    ReadRejected,    // the UPS answered a read command with "NK"
    SaveRejected,    // the UPS answered a save command with "NK"
    UnexpectedReply, // a reply that does not fit its read command
    InvalidValue,    // a value that cannot be sent; nothing was
    NotConnected,    // a read, save or factory values without a link
    NoPortChosen,    // connect without a port
    PortFailed,      // the port would not open
};

struct TOutcome {
    TOutcome() = default;
    TOutcome(TOutcomeKind kind, std::string command = {}, std::string detail = {},
             std::optional<TSettingId> setting = std::nullopt)
        : Kind(kind), Command(std::move(command)), Detail(std::move(detail)), Setting(setting) {}

    TOutcomeKind Kind = TOutcomeKind::None;
    std::string Command; // the command rejected or answered unexpectedly
    std::string Detail;  // the reply that did not fit, or what failed
    std::optional<TSettingId> Setting; // the invalid value
};

// The status bar's text for an outcome; empty for those that leave it as it is.
std::string StatusText(const TOutcome& outcome);
