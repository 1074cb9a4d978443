#pragma once

#include <string>
#include <vector>

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
void CloseControllerSession();
