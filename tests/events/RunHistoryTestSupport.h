#pragma once

#include "events/RunHistory.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

inline RunRecord Record(long processId, std::vector<std::string> arguments = {"/opt/tools/check", "--fast"}) {
    RunRecord record;
    record.Bit = 2;
    record.UniqueID = 7;
    record.Arguments = std::move(arguments);
    record.ProcessId = processId;
    record.StartMilliseconds = 1'796'000'000'123;
    record.EndMilliseconds = record.StartMilliseconds + 1520;
    record.DurationMicroseconds = 1'523'000;
    record.Outcome = RunOutcome::Exited;
    record.ExitCode = 3;
    return record;
}

inline std::vector<nlohmann::json> ReadLines(const std::string& path) {
    std::ifstream file(path);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(nlohmann::json::parse(line)); // throws, failing the test, on a torn line
    return lines;
}

class RunHistoryTest : public ::testing::Test {
protected:
    TempFolder Folder;
    std::string Path = Folder.File("runs.jsonl");
    MessageCapture Messages;
};
