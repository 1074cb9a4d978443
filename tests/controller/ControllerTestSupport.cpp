#include "tests/controller/ControllerTestSupport.h"

void ControllerTest::TearDown() {
    CloseControllerSession();
}

std::unique_ptr<EmulatorProcess> ControllerTest::StartEmulator(int n, const std::vector<std::string>& extra) {
    std::vector<std::string> arguments{"--summary",
                                       m_Folder.Write("summary.sta", SummaryText(StandardVariables()))};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return std::make_unique<EmulatorProcess>(Host(n), arguments);
}
