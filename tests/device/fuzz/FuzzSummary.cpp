// Feeds each input to the offset and format readers as text and to the summary
// parser as a file, then uses every part of the description once.
#include "device/DeviceDescription.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// One file per fuzzing process, rewritten for each input and removed at exit.
class InputFile {
public:
    InputFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-summary-XXXXXX").string();
        const int descriptor = mkstemp(pattern.data());
        if (descriptor < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        close(descriptor);
        m_Path = pattern;
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { std::remove(m_Path.c_str()); }

    const std::string& Write(const std::uint8_t* data, std::size_t size) const {
        std::FILE* file = std::fopen(m_Path.c_str(), "wb");
        if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
            std::abort();
        }
        return m_Path;
    }

private:
    std::string m_Path;
};

void UseEverything(const DeviceDescription& description) {
    std::array<unsigned char, 100> raw{};
    std::uint32_t index = 0;
    description.FindVariableByName("Event", index);
    volatile std::int32_t sink = description.InputDataLength();
    for (int i = 0; i < description.VariableCount(); ++i) {
        sink = sink + description.GetDataTypeSize(-1, i) + description.GetOutSplitOffset(-1, i) +
               description.IsReadable(-1, i) + description.IsWritable(-1, i);
        description.ValueToRaw(-1, i, 1234.5, raw.data());
    }
    for (int m = 0; m < description.ModuleCount(); ++m) {
        for (int j = 0; j < description.ModuleAt(m).VariableCount(); ++j) {
            description.ValueToRaw(m, j, -1e300, raw.data());
        }
    }
    try {
        description.ModuleVariableAt(description.ModuleAt(description.ModuleCount()), 0);
        std::abort();
    } catch (const DescriptionIndexError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile input;
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseHexOffset(text);
    DeviceVariable variable;
    ParseFormat(variable, text);

    DeviceDescription description;
    ParseSummaryFile(description, input.Write(data, size));
    UseEverything(description);
    return 0;
}
