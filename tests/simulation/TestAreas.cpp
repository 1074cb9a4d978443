#include "TestAreas.h"

#include "tests/support/TempFolder.h"

#include <optional>
#include <stdexcept>
#include <utility>

namespace {

SharedArea OrThrow(std::optional<SharedArea> area, const std::string& error) {
    if (!area)
        throw std::runtime_error(error);
    return std::move(*area);
}

} // namespace

TestAreas::TestAreas() {
    const std::string stem = UniqueName("/kavel_simtest");
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
    std::string error;
    return OrThrow(SharedArea::Create(m_InputName, error), error);
}

SharedArea TestAreas::CreateOutput() {
    std::string error;
    return OrThrow(SharedArea::Create(m_OutputName, error), error);
}

SharedArea TestAreas::Open(const std::string& name) {
    std::string error;
    return OrThrow(SharedArea::Open(name, error), error);
}
