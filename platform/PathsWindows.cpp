#include "platform/Paths.h"

#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <vector>

namespace {

std::string ReadProgramPath() {
    // Long paths exceed MAX_PATH: grow until the name fits.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> buffer(size);
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            return {};
        if (length < size)
            return Utf8Text(buffer.data(), length);
    }
    return {};
}

} // namespace

std::string ProgramPath() {
    // Taken once, at the program's start, like on every other system.
    static const std::string path = ReadProgramPath();
    return path;
}

bool FileExists(const std::string& path) {
    if (path.empty())
        return false;
    const UniqueHandle file(::CreateFileW(WideText(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A folder does not open without backup semantics, so it never counts.
    return file.IsValid();
}
