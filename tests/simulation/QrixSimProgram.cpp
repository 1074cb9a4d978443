#include "tests/simulation/QrixSimProgram.h"

#include "tests/support/WaitUntil.h"

#include <chrono>
#include <sstream>
#include <vector>

ProgramRun RunSim(const TestAreas& areas, const std::string& arguments) {
    return RunSim(areas.InputName(), areas.OutputName(), arguments);
}

ProgramRun RunSim(const std::string& inputName, const std::string& outputName, const std::string& arguments) {
    std::vector<std::string> argv{QRIX_SIM_PATH, "--input-name", inputName, "--output-name", outputName};
    std::istringstream words(arguments);
    for (std::string word; words >> word;)
        argv.push_back(word);
    ProgramRun run = RunToEnd(argv, std::chrono::seconds(20));
    // Windows programs end their text lines with CR LF.
    for (std::size_t at = run.Output.find("\r\n"); at != std::string::npos; at = run.Output.find("\r\n", at))
        run.Output.erase(at, 1);
    return run;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

CreatedAreas::CreatedAreas(const TestAreas& areas)
    : m_Areas(areas), m_Create(std::async(std::launch::async, [&areas] { return RunSim(areas, "create"); })) {
    WaitUntil([this] { return Exist(); }, std::chrono::seconds(20));
}

CreatedAreas::~CreatedAreas() {
    if (m_Create.valid())
        Remove();
}

bool CreatedAreas::Exist() const {
    std::string error;
    return SharedArea::Open(m_Areas.InputName(), error) && SharedArea::Open(m_Areas.OutputName(), error);
}

int CreatedAreas::Remove() {
    RunSim(m_Areas, "remove");
    return m_Create.get().ExitCode;
}
