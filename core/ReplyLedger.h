#pragma once
// Replies carry no name and come in the order of the commands, so each reply
// line answers the oldest command still waiting for one. A command sent again
// because its reply was late gets a reply of its own later on: the ledger
// remembers every command on its way, so that such a reply is known for what
// it answers and never taken for the next step's.
#include <cstddef>
#include <deque>
#include <optional>

enum class TLinkMode { Reading, Saving };

struct TSentCommand {
    TLinkMode Mode;
    int Step;
    unsigned Sequence; // which run of a sequence sent it
    bool operator==(const TSentCommand&) const = default;
};

class TReplyLedger {
  public:
    void Sent(const TSentCommand& command) { Waiting.push_back(command); }
    // The command a reply line answers; none for a line nobody asked for.
    std::optional<TSentCommand> Answered() {
        if (Waiting.empty()) return std::nullopt;
        const TSentCommand oldest = Waiting.front();
        Waiting.pop_front();
        return oldest;
    }
    // Replies to other commands than current are still to come: a command
    // sent now could not be told from them.
    bool AwaitingOthers(const TSentCommand& current) const {
        return !Waiting.empty() && !(Waiting.front() == current);
    }
    bool Empty() const { return Waiting.empty(); }
    std::size_t Size() const { return Waiting.size(); }
    // Their replies are lost: only for a line that has been quiet for longer
    // than any reply takes, before a new sequence sends anything.
    void Forget() { Waiting.clear(); }

  private:
    std::deque<TSentCommand> Waiting;
};
