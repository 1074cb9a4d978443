#include "TestAreas.h"

#include <unistd.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

std::atomic<unsigned> NextAreaNumber{0};

SharedArea CreateOrThrow(const std::string& name) {
    std::string error;
    std::optional<SharedArea> area = SharedArea::Create(name, error);
    if (!area)
        throw std::runtime_error(error);
    return std::move(*area);
}

} // namespace

TestAreas::TestAreas() {
    const std::string stem =
        "/kavel_simtest_" + std::to_string(::getpid()) + "_" + std::to_string(NextAreaNumber++);
    m_InputName = stem + "_in";
    m_OutputName = stem + "_out";
}

TestAreas::~TestAreas() {
    bool existed = false;
    std::string error;
    SharedArea::Remove(m_InputName, existed, error);
    SharedArea::Remove(m_OutputName, existed, error);
}

SharedArea TestAreas::CreateInput() {
    return CreateOrThrow(m_InputName);
}

SharedArea TestAreas::CreateOutput() {
    return CreateOrThrow(m_OutputName);
}
