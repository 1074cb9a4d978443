#pragma once

#include "tests/simulation/TestAreas.h"
#include "tests/support/ProgramRun.h"

#include <future>
#include <string>

// Runs qrix-sim with the test's own area names; standard error joins the output.
ProgramRun RunSim(const TestAreas& areas, const std::string& arguments);
ProgramRun RunSim(const std::string& inputName, const std::string& outputName, const std::string& arguments);

bool Contains(const std::string& text, const std::string& part);

// `qrix-sim create` for a test. On Windows it keeps running while it holds the
// areas, so it runs beside the test until Remove.
class CreatedAreas {
public:
    explicit CreatedAreas(const TestAreas& areas);
    CreatedAreas(const CreatedAreas&) = delete;
    CreatedAreas& operator=(const CreatedAreas&) = delete;
    ~CreatedAreas();

    // True once both areas can be opened.
    bool Exist() const;
    // `qrix-sim remove`, then the exit code of `create`.
    int Remove();

private:
    const TestAreas& m_Areas;
    std::future<ProgramRun> m_Create;
};
