#include "tests/events/SimulatedController.h"

#include "config/VariableReference.h"
#include "controller/SimulationBuffers.h"
#include "tests/events/EventTestSupport.h"

SimulatedController::SimulatedController()
    : m_InputName(UniqueName("/kavel_evt_in")), m_OutputName(UniqueName("/kavel_evt_out")) {
    SetSimulationBufferNames(m_InputName, m_OutputName);
}

SimulatedController::~SimulatedController() {
    CloseSimulationBuffers();
    ResetSimulationBuffers();
    m_Input.reset();
    m_Output.reset();
    bool existed = false;
    std::string error;
    SharedArea::Remove(m_InputName, existed, error);
    SharedArea::Remove(m_OutputName, existed, error);
}

VariableReferencePair SimulatedController::References() {
    VariableReferencePair references;
    references.Event = {EventOffset, 0, 4, 0};
    references.Acknowledge = {AckInputOffset, AckOutputOffset, 4, 1};
    return references;
}

bool SimulatedController::Create() {
    std::string error;
    m_Input = SharedArea::Create(m_InputName, error);
    m_Output = SharedArea::Create(m_OutputName, error);
    return m_Input.has_value() && m_Output.has_value();
}

void SimulatedController::SetEvent(std::uint32_t value) {
    m_Input->Write32(EventOffset, value);
}

void SimulatedController::ToggleEvent(int bit) {
    SetEvent(Event() ^ (1u << bit));
}

void SimulatedController::WriteEventBytes(const unsigned char (&bytes)[4]) {
    m_Input->Write(EventOffset, bytes, 4);
}

std::uint32_t SimulatedController::Event() const {
    return m_Input->Read32(EventOffset);
}

std::uint32_t SimulatedController::AckOutput() const {
    return m_Output->Read32(AckOutputOffset);
}

std::uint32_t SimulatedController::AckInput() const {
    return m_Input->Read32(AckInputOffset);
}

void SimulatedController::SetAckOutput(std::uint32_t value) {
    m_Output->Write32(AckOutputOffset, value);
}
