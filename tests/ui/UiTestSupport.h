#pragma once
// The windows under the offscreen platform: created fresh for each test, with
// every modal box closed as soon as it opens and its text recorded.
#include "LinkTestSupport.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class TFormBenloQuenda;

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Boxes seen so far, as "caption: text".
    std::vector<std::string> Boxes;
    // Picks a rated voltage (-1: none) in the start dialog and presses OK.
    void ChooseVoltage(int item);
    // Clicks one of the main window's buttons LMDButton1..7.
    void Press(int button);
    TFormBenloQuenda& Main();
    std::string Status();

  private:
    QTimer BoxCloser;
};
