#include "Outcome.h"

std::string StatusText(const TOutcome& o) {
    switch (o.Kind) {
    case TOutcomeKind::ReadCompleted:
        return " Reading data from UPS completed";
    case TOutcomeKind::SaveCompleted:
        return " Saving Complete";
    case TOutcomeKind::SaveConfirmed:
        return " Save all configuration success";
    case TOutcomeKind::NoReply:
        return "Communication error !";
    case TOutcomeKind::Failed:
        return "Communication error ! " + o.Detail;
    case TOutcomeKind::ReadRejected:
        return " Read failed: UPS rejected " + o.Command;
    case TOutcomeKind::SaveRejected:
        return " Save failed: UPS rejected " + o.Command;
    case TOutcomeKind::UnexpectedReply:
        return " Unexpected reply to " + o.Command + ": \"" + o.Detail.substr(0, 16) + "\"";
    case TOutcomeKind::InvalidValue:
        return std::string(" Invalid value: ") + (o.Setting ? Setting(*o.Setting).Description : "");
    case TOutcomeKind::NotConnected:
        return " Connect COM port first !";
    default:
        return {};
    }
}
