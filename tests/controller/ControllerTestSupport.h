#pragma once

#include "tests/support/EmulatorProcess.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// This test program's emulators listen on hosts of this loopback network.
constexpr const char* EmulatorNetwork = "127.0.10";

// One variable section of a summary file.
struct SummaryVariable {
    std::string Name;
    std::string DataType = "USINT32";
    std::string Direction = "I";
    std::string InputOffset = "-";
    std::string OutputOffset = "-";
    std::string Format = "%d";
};

std::string SummaryText(const std::vector<SummaryVariable>& variables);

// Counter I 0x0, Event I 0x4, Ack IO 0x8/0x20, AckScaled O 0x24 with two
// decimals, Status I 0xC: an input image of 16 bytes, an output image of 40.
std::vector<SummaryVariable> StandardVariables();

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
