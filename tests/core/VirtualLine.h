#pragma once
// A UPS on a virtual serial line, with the window's 200 ms timer, in virtual
// time: the sequencer is driven as the window drives it, by ticks and by one
// data-available event per delivery of received characters. The UPS answers
// its commands one after another, in order, each after a delay and a drawn
// jitter; commands and replies can be lost, replies split in two events, and
// events delayed so that several replies reach the window at once.
#include "Fakes.h"
#include "LinkSequencer.h"

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

struct TLineSchedule {
    int DelayMs = 3;
    int JitterMs = 0;
    double LostCommands = 0;   // never reach the UPS
    double LostReplies = 0;    // answered, but never arrive
    double SplitReplies = 0;   // arrive in two events
    bool PerCharacter = false; // each character arrives on its own, as on the wire
    int EventLatencyMs = 0;    // 0 to this before the window takes what arrived
    unsigned Seed = 1;
    std::set<int> LoseCommand{}, LoseReply{}; // by number of the command written, from 0
};

class TVirtualLine : public IComPort {
  public:
    static constexpr int TickMs = 200;

    explicit TVirtualLine(const TLineSchedule& schedule);
    // The next program on the same line: the UPS, its queue and the replies
    // still on the wire stay; what had arrived unread went with the old port.
    TVirtualLine(const TLineSchedule& schedule, const TVirtualLine& previous);

    void SetOpen(bool open) override { IsOpen = open; }
    void SetComNumber(int) override {}
    void WriteString(const std::string& text) override;
    char ReadChar() override;

    // Calls into the sequencer as a button would; a timer it starts ticks
    // 200 ms later.
    void Click(const std::function<void()>& click);
    // Runs ticks and arrivals until done() holds or limitMs of virtual time
    // passed; false on the limit.
    bool Run(const std::function<bool()>& done, long limitMs);

    FakeWindow Window;
    TLinkSequencer Link{Window, *this};
    std::map<std::string, std::string> Registers; // the UPS's
    std::vector<std::string> Sent;                // command lines as written
    std::map<std::string, int> Received;          // commands that reached the UPS
    long Now = 0;
    int LongestSilence = 0; // ticks in a row without a character while the timer ran
    bool IsOpen = false;
    // Checked after every tick and every event.
    std::function<void()> Invariant;

  private:
    struct TArrival {
        long At, Deliver;
        std::string Chars;
    };
    std::string Answer(const std::string& command);
    void Deliver();
    void AfterCall(bool wasOn);

    TLineSchedule Schedule;
    std::mt19937 Random;
    long BusyUntil = 0;
    long NextTick = -1;
    int SilentTicks = 0;
    bool CharsSinceTick = false;
    std::vector<TArrival> Arrivals;
    std::string Input;
};
