// The sequencer under any mix of ticks, clicks, edits and received characters
// (lines, repeats, noise): the step stays within 0 to 9, the timer runs
// exactly while the controls are locked, nothing is written to a closed port,
// and every sequence ends within ten silent ticks.
#include "ApdExceptions.h"
#include "Fakes.h"
#include "FuzzCheck.h"
#include "LinkSequencer.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

class CheckedPort : public FakePort {
  public:
    void WriteString(const std::string& text) override {
        FUZZ_CHECK(IsOpen);
        FakePort::WriteString(text);
    }
};

const char* const Replies[] = {
    "ORVIX-BQ1l 230V", "0B40", "06C2", "2", "6", "A108", "00FF", "8100", "305A", "OK", "NK", ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    FakeWindow w;
    CheckedPort port;
    TLinkSequencer link(w, port);
    link.InitializeLink();
    auto arrive = [&](const std::string& chars) {
        if (!port.IsOpen || chars.empty()) return;
        for (char c : chars)
            port.Input.push_back(c);
        link.ComPort1TriggerAvail(static_cast<int>(port.Input.size()));
    };
    auto check = [&] {
        FUZZ_CHECK(link.StepIndex >= 0 && link.StepIndex <= 9);
        FUZZ_CHECK(w.TimerOn == w.Locked);
    };
    bool closed = false;
    while (in.remaining_bytes() > 0 && !closed) {
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
        case 1:
            if (w.TimerOn) link.Timer1Timer();
            break;
        case 2: // a reply, sometimes a repeated one
            arrive(std::string(Replies[in.ConsumeIntegralInRange<std::size_t>(0, 11)]) + "\r\n");
            break;
        case 3: // anything at all, cut anywhere
            arrive(in.ConsumeRandomLengthString(48));
            break;
        case 4:
            if (w.Locked) break;
            w.PortIndex = in.ConsumeIntegralInRange(-1, 4);
            port.OpenFailure = nullptr;
            if (in.ConsumeBool())
                port.OpenFailure = [] { throw EBadId(-2001, "ie_BadId"); };
            else if (in.ConsumeIntegralInRange(0, 7) == 0)
                port.OpenFailure = [] { throw EAPDException(0, "Tesk exception"); };
            try {
                link.LMDButton1Click();
            } catch (const EAPDException&) {
                port.IsOpen = false; // the application's error display shows it
            }
            break;
        case 5:
            if (!w.Locked) link.LMDButton3Click();
            break;
        case 6:
            if (!w.Locked) link.LMDButton4Click();
            break;
        case 7:
            if (!w.Locked && link.EnterReadingIfConnected())
                w.ShowSettings(link.Settings, ApplyFactoryValues(link.Settings, 230),
                               TShowCause::Factory);
            break;
        case 8: { // the operator edits while a sequence runs
            const int field = in.ConsumeIntegralInRange(1, 18);
            if (field <= 4)
                w.SetEditText(field, in.ConsumeRandomLengthString(8));
            else
                w.SetComboItemIndex(field - 4, in.ConsumeIntegralInRange(-1, 1));
            break;
        }
        case 9: // the window closes: timer and port first, then the codec
            w.SetTimerEnabled(false);
            port.SetOpen(false);
            link.ReleaseLink();
            closed = true;
            break;
        }
        if (!closed) check();
    }
    for (int tick = 0; tick < 10 && w.TimerOn; ++tick) {
        link.Timer1Timer();
        check();
    }
    FUZZ_CHECK(!w.TimerOn);
    return 0;
}
