#pragma once
// A window and a port that record what the protocol core did to them.
#include "ControlView.h"
#include "IComPort.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class FakeWindow : public TControlView {
  public:
    FakeWindow() {
        for (int c = 1; c <= 14; ++c) {
            Items[c] = ComboItems(c);
            ComboText[c] = UnreadableText;
            ComboIndex[c] = -1;
            ComboEnabled[c] = c != 10;
        }
        for (int e = 1; e <= 4; ++e) {
            Edit[e] = UnreadableText;
            EditEnabled[e] = true;
        }
    }

    std::string Caption() const override { return CaptionText; }
    void SetCaption(const std::string& text) override { CaptionText = text; }
    std::string EditText(int edit) const override { return Edit.at(edit); }
    void SetEditText(int edit, const std::string& text) override { Edit[edit] = text; }
    void SetEditEnabled(int edit, bool enabled) override { EditEnabled[edit] = enabled; }
    void SetUpDownPosition(int upDown, int position) override { UpDown[upDown] = position; }
    void SetUpDownEnabled(int upDown, bool enabled) override { UpDownEnabled[upDown] = enabled; }
    void SetComboText(int combo, const std::string& text) override { ComboText[combo] = text; }
    int ComboIndexOf(int combo, const std::string& text) const override {
        const auto& items = Items.at(combo);
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == text) return static_cast<int>(i);
        return -1;
    }
    int ComboItemIndex(int combo) const override { return ComboIndex.at(combo); }
    void SetComboItemIndex(int combo, int index) override {
        ComboIndex[combo] = index;
        if (index >= 0) ComboText[combo] = Items[combo][static_cast<std::size_t>(index)];
    }
    void SetComboEnabled(int combo, bool enabled) override { ComboEnabled[combo] = enabled; }
    int PortItemIndex() const override { return PortIndex; }
    void SetTimerEnabled(bool enabled) override { TimerOn = enabled; }
    void ErrorBox(const std::string& text) override {
        Boxes.push_back("Error: " + text);
        if (OnBox) OnBox();
    }
    void DetailedErrorBox(const std::string& text, const std::string& detail) override {
        Details.push_back(detail);
        ErrorBox(text);
    }
    void PlainMessageBox(const std::string& text) override {
        Boxes.push_back("Message: " + text);
        if (OnBox) OnBox();
    }
    bool AskYesNo(const std::string& question) override {
        Boxes.push_back("Question: " + question);
        return AnswerYes;
    }
    void LockCommandControls() override { Locked = true; }
    void UnlockCommandControls() override { Locked = false; }
    void ShowStatus(const std::string& text) override { Status = text; }
    void SequenceEnded(const TOutcome& outcome) override {
        Outcomes.push_back(outcome.Kind);
        TControlView::SequenceEnded(outcome);
    }

    bool AnswerYes = false;
    std::vector<std::string> Details; // of error boxes that gave one
    std::string CaptionText;
    std::map<int, std::string> Edit;
    std::map<int, bool> EditEnabled;
    std::map<int, int> UpDown{{3, 1}, {4, 1}};
    std::map<int, bool> UpDownEnabled{{3, true}, {4, true}};
    std::map<int, std::vector<std::string>> Items;
    std::map<int, std::string> ComboText;
    std::map<int, int> ComboIndex;
    std::map<int, bool> ComboEnabled;
    int PortIndex = -1;
    bool TimerOn = false;
    bool Locked = false;
    std::string Status;
    std::vector<std::string> Boxes;
    std::vector<TOutcomeKind> Outcomes; // as each sequence ended
    // Runs while a box is "open", standing in for its nested message loop.
    std::function<void()> OnBox;
};

class FakePort : public IComPort {
  public:
    void SetOpen(bool open) override {
        if (open && !IsOpen && OpenFailure) OpenFailure();
        IsOpen = open;
    }
    void SetComNumber(int number) override { ComNumber = number; }
    void WriteString(const std::string& text) override {
        if (WriteFailure) WriteFailure();
        Sent.push_back(text);
    }
    char ReadChar() override {
        if (ReadFailure) ReadFailure();
        const char c = Input.front();
        Input.pop_front();
        return c;
    }

    bool IsOpen = false;
    int ComNumber = 0;
    std::vector<std::string> Sent;
    std::deque<char> Input;
    std::function<void()> OpenFailure, WriteFailure, ReadFailure;
};
