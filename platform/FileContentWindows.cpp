#include "platform/FileContent.h"

#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <algorithm>
#include <utility>

bool ReadFileContent(const std::string& path, std::size_t sizeLimit, std::string& content) {
    if (path.empty())
        return false;
    // Shared for delete too: a writer may replace the file while we read it.
    const UniqueHandle file(::CreateFileW(WideText(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.IsValid() || ::GetFileType(file.Get()) != FILE_TYPE_DISK ||
        !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > sizeLimit)
        return false;
    std::string data;
    data.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr))
            return false;
        if (got == 0)
            break;
        // The file may have grown since it was measured.
        if (data.size() + got > sizeLimit)
            return false;
        data.append(buffer, got);
    }
    content = std::move(data);
    return true;
}
