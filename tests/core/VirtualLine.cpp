#include "VirtualLine.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {
// 4800 baud, ten bits a character.
long LineMs(std::size_t chars) {
    return static_cast<long>(std::ceil(static_cast<double>(chars) * 10000.0 / 4800.0));
}
} // namespace

TVirtualLine::TVirtualLine(const TLineSchedule& schedule)
    : Schedule(schedule), Random(schedule.Seed) {
    Registers = {{"R5", "0B40"},  {"R4", "06C2"},  {"TD", "2"},     {"F%", "6"},
                 {"R31", "A108"}, {"R28", "1AFF"}, {"R34", "8100"}, {"R42", "305A"}};
    Link.InitializeLink();
    Window.PortIndex = 0;
}

TVirtualLine::TVirtualLine(const TLineSchedule& schedule, const TVirtualLine& previous)
    : TVirtualLine(schedule) {
    Registers = previous.Registers;
    Now = previous.Now;
    BusyUntil = previous.BusyUntil;
    for (const auto& a : previous.Arrivals)
        if (a.At > Now) Arrivals.push_back(a);
}

std::string TVirtualLine::Answer(const std::string& command) {
    if (command == "V?") return "ORVIX-BQ1l 230V";
    if (command == "Xw") return "OK";
    const auto eq = command.find('=');
    if (eq == std::string::npos) return Registers.count(command) ? Registers[command] : "NK";
    Registers[command.substr(0, eq)] = command.substr(eq + 1);
    return "OK";
}

void TVirtualLine::WriteString(const std::string& text) {
    if (!IsOpen) throw std::logic_error("write to a closed port");
    const int number = static_cast<int>(Sent.size());
    Sent.push_back(text.substr(0, text.size() - 2));
    std::uniform_real_distribution<double> chance(0, 1);
    if (chance(Random) < Schedule.LostCommands || Schedule.LoseCommand.count(number)) return;
    const std::string command = Sent.back();
    ++Received[command];
    // The UPS takes one command at a time, in order.
    const long heard = Now + LineMs(text.size());
    const long start = std::max(heard, BusyUntil);
    const long jitter = std::uniform_int_distribution<int>(0, Schedule.JitterMs)(Random);
    const std::string reply = Answer(command) + "\r\n";
    const long end = start + Schedule.DelayMs + jitter + LineMs(reply.size());
    BusyUntil = end;
    if (chance(Random) < Schedule.LostReplies || Schedule.LoseReply.count(number)) return;
    auto deliverAt = [&](long at) {
        return at + std::uniform_int_distribution<int>(0, Schedule.EventLatencyMs)(Random);
    };
    if (Schedule.PerCharacter) {
        for (std::size_t i = 0; i < reply.size(); ++i) {
            const long at = end - LineMs(reply.size() - i - 1);
            Arrivals.push_back({at, deliverAt(at), reply.substr(i, 1)});
        }
    } else if (chance(Random) < Schedule.SplitReplies) {
        const std::size_t cut =
            std::uniform_int_distribution<std::size_t>(1, reply.size() - 1)(Random);
        const long mid = end - LineMs(reply.size() - cut);
        Arrivals.push_back({mid, deliverAt(mid), reply.substr(0, cut)});
        Arrivals.push_back({end, deliverAt(end), reply.substr(cut)});
    } else {
        Arrivals.push_back({end, deliverAt(end), reply});
    }
}

char TVirtualLine::ReadChar() {
    if (Input.empty()) throw std::logic_error("read beyond the event's count");
    const char c = Input.front();
    Input.erase(0, 1);
    return c;
}

void TVirtualLine::AfterCall(bool wasOn) {
    if (Window.TimerOn && !wasOn) {
        NextTick = Now + TickMs;
        SilentTicks = 0;
    }
    if (!Window.TimerOn) NextTick = -1;
    if (Invariant) Invariant();
}

void TVirtualLine::Click(const std::function<void()>& click) {
    const bool wasOn = Window.TimerOn;
    click();
    AfterCall(wasOn);
}

// Everything that arrived by now reaches the handler in one event.
void TVirtualLine::Deliver() {
    std::sort(Arrivals.begin(), Arrivals.end(),
              [](const TArrival& a, const TArrival& b) { return a.At < b.At; });
    auto taken = std::stable_partition(Arrivals.begin(), Arrivals.end(),
                                       [&](const TArrival& a) { return a.At <= Now; });
    for (auto it = Arrivals.begin(); it != taken; ++it)
        Input += it->Chars;
    Arrivals.erase(Arrivals.begin(), taken);
    if (Input.empty()) return;
    CharsSinceTick = true;
    const bool wasOn = Window.TimerOn;
    Link.ComPort1TriggerAvail(static_cast<int>(Input.size()));
    AfterCall(wasOn);
}

bool TVirtualLine::Run(const std::function<bool()>& done, long limitMs) {
    const long limit = Now + limitMs;
    while (!done()) {
        long next = NextTick >= 0 ? NextTick : limit;
        for (const auto& a : Arrivals)
            next = std::min(next, std::max(a.Deliver, Now));
        if (next >= limit) {
            Now = limit;
            return false;
        }
        Now = next;
        if (Now == NextTick) {
            SilentTicks = CharsSinceTick ? 0 : SilentTicks + 1;
            LongestSilence = std::max(LongestSilence, SilentTicks);
            CharsSinceTick = false;
            NextTick += TickMs;
            const bool wasOn = Window.TimerOn;
            Link.Timer1Timer();
            AfterCall(wasOn);
        } else {
            Deliver();
        }
    }
    return true;
}
