#pragma once

#include "controller/SimulationBuffers.h"
#include "tests/simulation/TestAreas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

inline constexpr std::uint16_t Untouched = 0x5A5A;

class SimulationBuffersTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSimulationBufferNames(m_Areas.InputName(), m_Areas.OutputName());
        ResetSimulationBuffers();
    }
    void TearDown() override {
        CloseSimulationBuffers();
        ResetSimulationBuffers();
        SetSimulationBufferNames(DefaultInputBufferName, DefaultOutputBufferName);
    }

    // Creates both areas and attaches to them, as activation does.
    void StartSimulator() {
        m_Input.emplace(m_Areas.CreateInput());
        m_Output.emplace(m_Areas.CreateOutput());
        OpenSimulationBuffers();
    }

    std::uint32_t ReadValue(std::uint16_t offset, std::uint16_t& status) {
        std::uint32_t value = 0;
        ReadInputBuffer(&value, sizeof value, offset, status);
        return value;
    }

    TestAreas m_Areas;
    std::optional<SharedArea> m_Input;
    std::optional<SharedArea> m_Output;
};
