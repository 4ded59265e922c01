#pragma once
// The windows under the offscreen platform: created fresh for each test, with
// every modal box closed as soon as it opens and its text recorded.
#include "LinkTestSupport.h"

#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

class TFormBenloQuenda;

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Fresh windows, for a table of cases in one test.
    void Restart();
    // Boxes seen so far, as "caption: text".
    std::vector<std::string> Boxes;
    std::vector<std::string> BoxDetails; // of the boxes that had detailed text
    // Picks a rated voltage (-1: none) in the start dialog and presses OK.
    void ChooseVoltage(int item);
    // Clicks one of the main window's buttons LMDButton1..7.
    void Press(int button);
    TFormBenloQuenda& Main();
    std::string Status();

    // The keyboard as a person uses it: the window becomes active (a window
    // manager's part), keys go to the focused widget, Tab moves until target
    // has the focus.
    static void Activate(QWidget* window);
    static void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static void Keys(std::initializer_list<int> keys);
    static bool TabTo(QWidget* target);

    // How a box is answered: 0 closes it, any other key is pressed in it.
    int BoxKey = 0;

  private:
    QTimer BoxCloser;
};
