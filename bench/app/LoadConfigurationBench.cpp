// Loading a large project through the window's logic: 200 event configurations
// of 16 tools each and a summary file of 10,000 variables, in simulation mode.
// Prints the first (cold) load and p50/p99/max of the following ones; then how a
// load grows with 200, 10,000 and 40,000 configurations (time and peak memory).

#include "app/logic/EventManagerDialog.h"
#include "tests/app/RecordingControls.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/RecordingToolTable.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int ConfigurationCount = 200;
constexpr int VariableCount = 10000;

double Milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

struct Figures {
    double Cold = 0;
    std::vector<double> Warm;
};

// Loads the project `repetitions` + 1 times; false when a load fails.
bool MeasureLoads(EventManagerDialog& dialog, const RecordingControls& controls, int repetitions,
                  Figures& figures) {
    for (int i = 0; i <= repetitions; ++i) {
        dialog.ControlStateCode = 255;
        const auto start = std::chrono::steady_clock::now();
        dialog.LoadConfiguration();
        const double elapsed = Milliseconds(std::chrono::steady_clock::now() - start);
        if (dialog.ControlStateCode != 160) {
            std::fprintf(stderr, "load failed: code %u\n", static_cast<unsigned>(dialog.ControlStateCode));
            for (const std::string& line : controls.Lines)
                std::fprintf(stderr, "  %s\n", line.c_str());
            return false;
        }
        if (i == 0)
            figures.Cold = elapsed;
        else
            figures.Warm.push_back(elapsed);
    }
    return true;
}

void Print(const char* title, const Figures& figures) {
    std::printf("  %s\n    first load %.2f ms; next %zu loads: p50 %.2f ms  p99 %.2f ms  max %.2f ms\n",
                title, figures.Cold, figures.Warm.size(), Percentile(figures.Warm, 0.50),
                Percentile(figures.Warm, 0.99), *std::max_element(figures.Warm.begin(), figures.Warm.end()));
}

// Peak resident memory of this process so far, in MiB.
double PeakMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Settings that load `project` in simulation mode with configuration `uniqueID`.
void UseProject(const TestWorkspace& workspace, const std::string& project, int uniqueID) {
    AppSettings settings;
    settings.PathToKavelCfg = project;
    settings.UsedUniqueID = uniqueID;
    settings.UseSimEnvironment = 1;
    workspace.SaveTestSettings(settings);
}

// One load of `count` configurations of two tools each, named in no order and
// partly outside ASCII, so that sorting has work to do. Milliseconds, or < 0.
double MeasureScaledLoad(TestWorkspace& workspace, int count) {
    std::vector<TestConfiguration> configurations;
    configurations.reserve(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c) {
        const int key = static_cast<int>((static_cast<long long>(c) * 7919) % count);
        const std::string name = (c % 3 == 0   ? "Änderung "
                                  : c % 3 == 1 ? "Zyklus "
                                               : "ablauf ") +
                                 std::to_string(key);
        TestConfiguration configuration = Named(std::to_string(c + 1), name);
        configuration.Tools = {{0, "/bin", "true", "0"}, {1, "/bin", "true", "1"}};
        configurations.push_back(configuration);
    }
    UseProject(workspace, workspace.WriteProject("scaled.ADPXML", configurations, "small.sta"), count);
    RecordingControls controls;
    RecordingToolTable table;
    EventManagerDialog dialog(controls, table);
    LoadSettings(dialog.Settings);
    Figures figures;
    if (!MeasureLoads(dialog, controls, 1, figures))
        return -1;
    return figures.Warm.front();
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    TestWorkspace workspace;

    // The two variables stand last, so each look-up passes the whole file.
    std::vector<TestVariable> variables;
    for (int i = 0; i < VariableCount - 2; ++i) {
        const unsigned offset = 0x100u + 4u * static_cast<unsigned>(i);
        variables.push_back({"Var" + std::to_string(i), offset, offset, "USINT32"});
    }
    variables.push_back({"EventVar", 0x10, 0x20, "USINT32"});
    variables.push_back({"AckVar", 0x14, 0x24, "USINT32"});
    workspace.WriteSummary("summary.sta", variables);
    workspace.WriteSummary("small.sta", StandardVariables());

    std::vector<TestConfiguration> configurations;
    for (int c = 0; c < ConfigurationCount; ++c) {
        TestConfiguration configuration = Named(std::to_string(c + 1), "Configuration " + std::to_string(c));
        for (int bit = 0; bit < 16; ++bit)
            configuration.Tools.push_back(
                {bit, "/bin", "true", "@PROJECT_PATH @IP_ADDR " + std::to_string(bit)});
        configurations.push_back(configuration);
    }
    UseProject(workspace, workspace.WriteProject("large.ADPXML", configurations), ConfigurationCount);

    RecordingControls controls;
    RecordingToolTable table;
    EventManagerDialog dialog(controls, table);
    LoadSettings(dialog.Settings);

    Figures large;
    if (!MeasureLoads(dialog, controls, repetitions, large))
        return 1;
    // The same project with a two-variable summary: what the summary scan costs.
    workspace.WriteProject("large.ADPXML", configurations, "small.sta");
    Figures small;
    if (!MeasureLoads(dialog, controls, repetitions, small))
        return 1;

    std::printf("LoadConfiguration, %d configurations x 16 tools, simulation mode (goal < 100 ms)\n",
                ConfigurationCount);
    Print("10,000-variable summary:", large);
    Print("2-variable summary (the same load without the summary scan):", small);

    std::printf("LoadConfiguration by number of configurations (2 tools each, second load):\n");
    double previous = 0;
    int previousCount = 0;
    for (const int count : {200, 10000, 20000, 40000}) {
        const double milliseconds = MeasureScaledLoad(workspace, count);
        if (milliseconds < 0)
            return 1;
        std::printf("  %6d configurations: %9.2f ms  peak memory %7.1f MiB", count, milliseconds, PeakMiB());
        if (previousCount > 0)
            std::printf("  time x%.2f for x%.0f configurations", milliseconds / previous,
                        static_cast<double>(count) / previousCount);
        std::printf("\n");
        previous = milliseconds;
        previousCount = count;
    }
    return 0;
}
