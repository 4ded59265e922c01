#include "LinkSequencer.h"

#include "ApdExceptions.h"
#include "NumberText.h"

TLinkSequencer::TLinkSequencer(ISettingsWindow& window, IComPort& port)
    : Window(window), Port(port) {}

TLinkSequencer::~TLinkSequencer() = default;

void TLinkSequencer::InitializeLink() {
    Window.SetCaption(WindowCaption);
    NoReplyTicks = 0;
    Reply = TReplyAssembler();
    HexTool = std::make_unique<THexTool>();
}

void TLinkSequencer::ReleaseLink() {
    HexTool.reset();
}

bool TLinkSequencer::OpenComPort(int number) {
    try {
        Port.SetOpen(false);
        Port.SetComNumber(number);
        Port.SetOpen(true);
    } catch (const EAlreadyOpen&) {
        return false;
    } catch (const EBadArgument&) {
        return false;
    } catch (const EBaudRate&) {
        return false;
    } catch (const EByteSize&) {
        return false;
    } catch (const EDefault&) {
        return false;
    } catch (const EInOutError&) {
        return false;
    } catch (const EHardware&) {
        return false;
    } catch (const EMemory&) {
        return false;
    } catch (const ENoHandles&) {
        return false;
    } catch (const ENullApi&) {
        return false;
    } catch (const EOutOfMemory&) {
        return false;
    } catch (const EBadId&) {
        return false;
    }
    return true;
}

void TLinkSequencer::LMDButton1Click() {
    SelectedPort = 0;
    Port.SetOpen(false);
    const int index = Window.PortItemIndex();
    if (index >= 0 && index <= 3) SelectedPort = index + 1;
    if (SelectedPort == 0) {
        Window.ErrorBox("Please select comport before connect to the UPS");
        return;
    }
    Connected = OpenComPort(SelectedPort);
    if (!Connected) {
        Window.ErrorBox("Cannot initialize COM port");
        return;
    }
    Window.LockCommandControls();
    LinkMode = TLinkMode::Reading;
    // Always identify first: the device on this port may not be the one read before.
    StepIndex = 0;
    NoReplyTicks = 0;
    // The reopened port discarded what was unread, so a partial line is stale too.
    Reply = TReplyAssembler();
    SetTimer(true);
}

void TLinkSequencer::LMDButton3Click() {
    if (!EnterReadingIfConnected()) return;
    Window.LockCommandControls();
    StepIndex = 0;
    NoReplyTicks = 0;
    Window.ShowStatus(" Reading data from UPS");
    SetTimer(true);
}

void TLinkSequencer::LMDButton4Click() {
    if (!Connected) {
        Window.ShowStatus(" Connect COM port first !");
        Window.ErrorBox("Connect to the UPS before save config!");
        return;
    }
    Window.LockCommandControls();
    LinkMode = TLinkMode::Saving;
    StepIndex = 0;
    NoReplyTicks = 0;
    RejectedCommand.clear();
    SetTimer(true);
}

bool TLinkSequencer::EnterReadingIfConnected() {
    LinkMode = TLinkMode::Reading;
    if (!Connected) {
        Window.ShowStatus(" Connect COM port first !");
        Window.ErrorBox("Connect to the UPS before read config!");
        return false;
    }
    return true;
}

void TLinkSequencer::SetTimer(bool enabled) {
    TimerEnabled = enabled;
    Window.SetTimerEnabled(enabled);
}

void TLinkSequencer::StopSequence(const std::string& status) {
    Window.ShowStatus(status);
    Window.UnlockCommandControls();
    SetTimer(false);
}

bool TLinkSequencer::CountSilentTick() {
    ++NoReplyTicks;
    return NoReplyTicks > 2;
}

void TLinkSequencer::ReportSilence() {
    Window.ShowStatus("Communication error !");
    Window.UnlockCommandControls();
    Connected = false;
    NoReplyTicks = 0;
    SetTimer(false);
}

void TLinkSequencer::Timer1Timer() {
    if (!HexTool) return;
    if (LinkMode == TLinkMode::Reading) {
        const bool silent = CountSilentTick();
        if (StepIndex >= 0 && StepIndex <= LastStep) SendCommand(ReadCommands[StepIndex]);
        if (silent) ReportSilence();
    } else {
        RunSaveTick();
    }
}

void TLinkSequencer::RunSaveTick() {
    if (StepIndex < 0 || StepIndex > LastStep) return;
    if (StepIndex == 1) Window.ShowStatus(" Saving configuration");

    TProtocolContext ctx{Window, Settings, *HexTool};
    const TSaveCommand command = BuildSaveCommand(ctx, StepIndex);
    if (!command.InvalidField.empty()) {
        StopSequence(" Invalid value: " + command.InvalidField);
        return;
    }
    // A save that gets no answer ends like a read does instead of resending forever.
    const bool silent = CountSilentTick();
    if (command.Line) SendCommand(*command.Line);
    if (silent) {
        ReportSilence();
        return;
    }
    if (StepIndex == LastStep) StopSequence(SaveEndStatus(" Saving Complete"));
}

void TLinkSequencer::SendCommand(const std::string& text) {
    Port.WriteString(text + "\r\n");
}

void TLinkSequencer::ComPort1TriggerAvail(int count) {
    if (NoReplyTicks != 0) NoReplyTicks = 0;
    char last = '\0';
    for (int i = 0; i < count; ++i) {
        last = Port.ReadChar();
        Reply.Store(last);
    }
    if (count <= 0 || last != '\n') return;

    // The buffer starts afresh before the line is handled, so characters taken
    // in a nested message loop (a box opened by the handler) begin a new line.
    const std::string line = Reply.TakeLine();
    if (IdentificationFailing || !HexTool) return;
    ProcessReply(line);
    if (line == "NK") Window.SetCaption(Window.Caption() + NumberToText(StepIndex));
}

void TLinkSequencer::ProcessReply(const std::string& line) {
    if (LinkMode == TLinkMode::Reading)
        ProcessReadReply(line);
    else
        ProcessSaveReply(line);
}

void TLinkSequencer::ProcessReadReply(const std::string& line) {
    if (StepIndex >= 0 && StepIndex <= LastStep) {
        TProtocolContext ctx{Window, Settings, *HexTool};
        if (!ApplyReadReply(ctx, StepIndex, line)) {
            IdentificationFailing = true;
            Window.MessageBox("This program can use only with Morbeck Orvix series");
            IdentificationFailing = false;
            // Nothing may be saved to a device that failed identification, and
            // the window must not stay locked.
            SetTimer(false);
            Window.UnlockCommandControls();
            Connected = false;
        }
    }
    if (StepIndex > LastStep - 1) {
        const bool outlets = Window.ComboItemIndex(9) == 0;
        Window.SetEditEnabled(4, outlets);
        Window.SetUpDownEnabled(4, outlets);
        for (int c = 10; c <= 14; ++c)
            Window.SetComboEnabled(c, outlets);
        StepIndex = 1;
        StopSequence(" Reading data from UPS completed");
    } else {
        ++StepIndex;
    }
}

void TLinkSequencer::ProcessSaveReply(const std::string& line) {
    const bool rejected = line == "NK";
    if (rejected && RejectedCommand.empty() && StepIndex >= 0 && StepIndex <= LastStep)
        RejectedCommand = SaveCommands[StepIndex];

    if (StepIndex > LastStep) {
        StepIndex = 1;
        StopSequence(SaveEndStatus(" Save all configuration success"));
        return;
    }
    ++StepIndex;
    // The answer to the last command can come after " Saving Complete" was shown.
    if (rejected && !TimerEnabled) Window.ShowStatus(SaveEndStatus(""));
}

std::string TLinkSequencer::SaveEndStatus(const std::string& success) const {
    if (RejectedCommand.empty()) return success;
    return " Save failed: UPS rejected " + RejectedCommand;
}
