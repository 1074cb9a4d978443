// Parses generated summary files of 20,000 and 40,000 variables and prints the
// times, their ratio, and as baseline the time of look-ups that walk the line
// list from the top on a file of 2,000 variables.
#include "device/DeviceDescription.h"
#include "device/ProfileFile.h"
#include "device/TextConversion.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::array<const char*, 12> DataTypeNames = {"BOOL",    "SINT8",   "USINT8", "SET8",
                                                       "SINT16",  "USINT16", "SET16",  "SINT32",
                                                       "USINT32", "SET32",   "FLOAT",  "DOUBLE"};

void AppendVariable(std::string& text, const std::string& section, int number) {
    char offsets[256];
    std::snprintf(offsets, sizeof offsets,
                  "InpCombDataFieldOffs=0x%04X\nInpSplitDataFieldOffs=0x%04X\nOutCombDataFieldOffs=0x%04X\n"
                  "OutSplitDataFieldOffs=0x%04X\n",
                  number * 4, number * 4 + 2, number * 4, number * 4 + 2);
    text += "[" + section + "]\nName=Variable_" + section + "\nVarType=SPT\nDataType=" +
            DataTypeNames[static_cast<std::size_t>(number) % DataTypeNames.size()] + "\nDataDirection=" +
            (number % 3 == 0   ? "I"
             : number % 3 == 1 ? "O"
                               : "IO") +
            "\nFormat=%8.2f\nUnit=mV\n" + offsets + "AccessIndex=" + std::to_string(number) + "\n";
}

std::string GenerateSummary(int deviceVariables, int modules, int variablesPerModule) {
    std::string text = "; generated summary file\n[GENERAL]\nAppName=Bench\nAppVersion=1.0\nLocation=Lab\n"
                       "Vendor=Kavel\nSNR=0001\nType=q.rix\nSampleRate=1.0E+03\nSlavesCount=" +
                       std::to_string(modules) + "\nVariablesCount=" + std::to_string(deviceVariables) +
                       "\n[FEATURES]\nDeviceDiagEx=1\nReadBufferSingleWithStateResponse=1\n";
    for (int i = 0; i < deviceVariables; ++i) {
        AppendVariable(text, "V" + std::to_string(i), i);
    }
    for (int m = 0; m < modules; ++m) {
        const std::string module = "M" + std::to_string(m);
        text += "[" + module + "]\nLocation=Slot " + std::to_string(m) +
                "\nType=AI8\nUartIndex=1\nAddress=" + std::to_string(m) +
                "\nVariablesCount=" + std::to_string(variablesPerModule) + "\n";
        for (int j = 0; j < variablesPerModule; ++j) {
            AppendVariable(text, module + "_V" + std::to_string(j), m * variablesPerModule + j);
        }
    }
    return text;
}

struct Figures {
    double Min = 0.0;
    double Median = 0.0;
    double Max = 0.0;
    double CpuMedian = 0.0;
};

// CPU time of this thread: unlike wall time it does not grow while other
// programs on a busy machine hold the processor.
double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One warm-up run, then the measured runs, so that each work meets its own data
// in the caches as a program that reads the file would.
Figures Measure(int repetitions, const std::function<void()>& work) {
    work();
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < repetitions; ++i) {
        const double cpuStart = ThreadCpuMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(ThreadCpuMilliseconds() - cpuStart);
    }
    const auto [least, most] = std::minmax_element(wall.begin(), wall.end());
    return Figures{*least, Median(wall), *most, Median(cpu)};
}

// The look-up as a walk over all lines: the first matching section, then its keys
// up to the next section line.
std::string WalkGetString(const ProfileFile& profile, const std::string& section, const std::string& key,
                          const std::string& defaultText) {
    const auto& lines = profile.Lines();
    const std::string wanted = "[" + section + "]";
    std::size_t i = 0;
    while (i < lines.size() && !(lines[i].Kind == ProfileLineKind::Section &&
                                 EqualsIgnoreCaseAscii(profile.LineText(lines[i]), wanted))) {
        ++i;
    }
    for (++i; i < lines.size() && lines[i].Kind != ProfileLineKind::Section; ++i) {
        if (lines[i].Kind != ProfileLineKind::Key) {
            continue;
        }
        const std::string_view line = profile.LineText(lines[i]);
        const std::string_view text = line.substr(0, line.find(';'));
        const std::size_t equals = text.find('=');
        if (EqualsIgnoreCaseAscii(text.substr(0, equals), key)) {
            return std::string(text.substr(equals + 1));
        }
    }
    return defaultText;
}

// The same look-ups as the summary parser, each walking the line list.
std::size_t WalkAllLookups(const ProfileFile& profile) {
    static const std::array<const char*, 11> keys = {"DataDirection",
                                                     "DataType",
                                                     "Format",
                                                     "Name",
                                                     "VarType",
                                                     "Unit",
                                                     "InpCombDataFieldOffs",
                                                     "InpSplitDataFieldOffs",
                                                     "OutCombDataFieldOffs",
                                                     "OutSplitDataFieldOffs",
                                                     "AccessIndex"};
    std::size_t characters = 0;
    const auto readVariable = [&](const std::string& section) {
        for (const char* key : keys) {
            characters += WalkGetString(profile, section, key, "-").size();
        }
    };
    const int variables = ParseLeadingInt(WalkGetString(profile, "GENERAL", "VariablesCount", "0"));
    const int modules = ParseLeadingInt(WalkGetString(profile, "GENERAL", "SlavesCount", "0"));
    for (int i = 0; i < variables; ++i) {
        readVariable("V" + std::to_string(i));
    }
    for (int m = 0; m < modules; ++m) {
        const std::string module = "M" + std::to_string(m);
        for (const char* key : {"Location", "Type", "UartIndex", "Address"}) {
            characters += WalkGetString(profile, module, key, "-").size();
        }
        const int count = ParseLeadingInt(WalkGetString(profile, module, "VariablesCount", "0"));
        for (int j = 0; j < count; ++j) {
            readVariable(module + "_V" + std::to_string(j));
        }
    }
    return characters;
}

std::string WriteFile(const std::filesystem::path& directory, const std::string& name,
                      const std::string& text) {
    const std::filesystem::path path = directory / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

void PrintFigures(const char* what, std::size_t lines, const Figures& figures) {
    std::printf("%-40s %7zu lines  wall min %8.2f  p50 %8.2f  max %8.2f  cpu p50 %8.2f ms\n", what, lines,
                figures.Min, figures.Median, figures.Max, figures.CpuMedian);
}

std::size_t LineCount(const std::string& path) {
    ProfileFile profile;
    profile.LoadFile(path);
    return profile.Lines().size();
}

} // namespace

int main() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bench-summary-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path directory = pattern;

    const std::string small = WriteFile(directory, "small.sta", GenerateSummary(1000, 10, 100));
    const std::string single = WriteFile(directory, "single.sta", GenerateSummary(10000, 100, 100));
    const std::string twice = WriteFile(directory, "twice.sta", GenerateSummary(20000, 200, 100));
    const std::string hostile =
        WriteFile(directory, "hostile.sta", "[GENERAL]\nVariablesCount=2147483647\nSlavesCount=2147483647\n");

    const auto parse = [](const std::string& path) {
        return [path] {
            DeviceDescription description;
            ParseSummaryFile(description, path);
        };
    };
    constexpr int repetitions = 21;
    const Figures singleFigures = Measure(repetitions, parse(single));
    const Figures twiceFigures = Measure(repetitions, parse(twice));
    const Figures smallFigures = Measure(repetitions, parse(small));
    const Figures hostileFigures = Measure(repetitions, parse(hostile));
    ProfileFile smallProfile;
    smallProfile.LoadFile(small);
    const Figures walkFigures = Measure(3, [&smallProfile] { WalkAllLookups(smallProfile); });

    std::printf("ParseSummaryFile, %d runs each after a warm-up\n", repetitions);
    PrintFigures("10,000 + 100 x 100 variables", LineCount(single), singleFigures);
    PrintFigures("20,000 + 200 x 100 variables", LineCount(twice), twiceFigures);
    std::printf(
        "ratio twice / single: wall min %.2f, wall p50 %.2f, cpu p50 %.2f (goal: at most 2; single under "
        "150 ms)\n",
        twiceFigures.Min / singleFigures.Min, twiceFigures.Median / singleFigures.Median,
        twiceFigures.CpuMedian / singleFigures.CpuMedian);
    PrintFigures("1,000 + 10 x 100 variables", LineCount(small), smallFigures);
    PrintFigures("hostile counts (2147483647)", LineCount(hostile), hostileFigures);
    std::printf("baseline, look-ups walking the lines, 3 runs after a warm-up\n");
    PrintFigures("1,000 + 10 x 100 variables (walk only)", LineCount(small), walkFigures);
    std::printf("baseline / indexed on the 2,000-variable file (p50)  %.1f\n",
                walkFigures.Median / smallFigures.Median);

    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return 0;
}
