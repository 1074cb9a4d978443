#include "tests/support/TempFolder.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace {

// Paths are UTF-8 here; Windows would read a narrow name in its ANSI code page.
std::filesystem::path Native(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

} // namespace

TempFolder::TempFolder() {
    // A random name made only if it is new: as safe as mkdtemp, and portable.
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / ("kavel-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            const std::u8string name = candidate.generic_u8string();
            m_Path.assign(name.begin(), name.end());
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

std::string TempFolder::Write(const std::string& name, std::string_view content) const {
    const std::string path = File(name);
    std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string TempFolder::Read(const std::string& path) {
    std::ifstream in(Native(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string UniqueName(const std::string& stem) {
    static std::atomic<int> counter{0};
    // Unique across concurrently running test programs too.
    static const std::string run = std::to_string(std::random_device{}());
    return stem + "-" + run + "-" + std::to_string(++counter);
}
