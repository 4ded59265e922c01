#pragma once
// A port on COM1 over a real far end, with the application's error display
// collected, for the component tests of both platforms.
#include "ApdComPort.h"
#include "ErrorDisplay.h"
#include "LinkTestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

struct ComPort : ::testing::Test {
    TestPty Pty{1};
    std::vector<std::string> Errors;

    void SetUp() override {
        SetApplicationErrorDisplay([this](const std::string& m) { Errors.push_back(m); });
    }
    void TearDown() override { SetApplicationErrorDisplay(nullptr); }
    // Opens and closes a port once, so that threads a runtime starts on first
    // use (a sanitizer's, Wine's) are there before a test counts threads.
    void WarmUp() {
        TApdComPort port;
        port.SetComNumber(1);
        port.SetOpen(true);
    }
    // A port on COM1 whose handler takes every character into received.
    std::unique_ptr<TApdComPort> OpenPort(std::string& received) {
        auto port = std::make_unique<TApdComPort>();
        port->SetBaud(4800);
        port->SetAutoOpen(false);
        port->OnTriggerAvail = [&received](TApdCustomComPort& cp, std::uint16_t count) {
            for (int i = 0; i < count; ++i)
                received.push_back(cp.ReadChar());
        };
        port->SetComNumber(1);
        port->SetOpen(true);
        return port;
    }
};

template <class E> std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<nothing raised>";
}
