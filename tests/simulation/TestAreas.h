#pragma once

#include "tools/qrix-sim/SharedArea.h"

#include <string>

// Area names of their own per test, so that tests run in parallel with each
// other and with a real simulator; removed again when the object goes.
class TestAreas {
public:
    TestAreas();
    TestAreas(const TestAreas&) = delete;
    TestAreas& operator=(const TestAreas&) = delete;
    ~TestAreas();

    const std::string& InputName() const { return m_InputName; }
    const std::string& OutputName() const { return m_OutputName; }
    // Creates both areas, as `qrix-sim create` does.
    SharedArea CreateInput();
    SharedArea CreateOutput();
    // Another mapping of an existing area.
    static SharedArea Open(const std::string& name);

private:
    std::string m_InputName;
    std::string m_OutputName;
};
