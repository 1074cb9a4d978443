#pragma once

#include "tests/controller/SessionSupport.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// This test program's emulators listen on hosts of this loopback network.
constexpr const char* EmulatorNetwork = "127.0.10";

// Closes whatever connection a test left open and forgets the description.
class ControllerTest : public ::testing::Test {
protected:
    void TearDown() override;

    static std::string Host(int n) { return EmulatorProcess::Address(EmulatorNetwork, n); }
    // An emulator on host `n` serving the standard summary, with `extra` arguments;
    // the caller checks that it serves.
    std::unique_ptr<EmulatorProcess> StartEmulator(int n, const std::vector<std::string>& extra = {});

    TempFolder m_Folder;
};
