#include "platform/PrivateProfile.h"

#include "platform/FileContent.h"
#include "platform/ProfileFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

// Files beyond this size are not settings files; reading them would only cost memory.
constexpr std::size_t MaximumProfileSize = 64 * 1024 * 1024;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// A section header "[name]" gives the trimmed name.
bool SectionName(const std::string& line, std::string& name) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[')
        return false;
    const auto close = trimmed.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

bool KeyAndValue(const std::string& line, std::string& key, std::string& value) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
        return false;
    const auto equals = trimmed.find('=');
    if (equals == std::string::npos)
        return false;
    key = Trim(trimmed.substr(0, equals));
    value = Trim(trimmed.substr(equals + 1));
    return true;
}

} // namespace

struct ParsedPrivateProfile {
    // Upper-case section -> upper-case key -> value; the first of each name wins.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> Sections;
    // Every section header's name as written, in file order.
    std::vector<std::string> SectionNames;
};

namespace {

ParsedPrivateProfile Parse(const std::string& content) {
    ParsedPrivateProfile parsed;
    std::unordered_map<std::string, std::string>* current = nullptr;
    bool currentIsFirst = false;
    for (const auto& line : SplitLines(content)) {
        std::string name, key, value;
        if (SectionName(line, name)) {
            parsed.SectionNames.push_back(name);
            auto [it, inserted] = parsed.Sections.try_emplace(Upper(name));
            current = &it->second;
            currentIsFirst = inserted;
        } else if (current != nullptr && currentIsFirst && KeyAndValue(line, key, value)) {
            current->try_emplace(Upper(key), Unquote(value));
        }
    }
    return parsed;
}

struct CacheEntry {
    ProfileFileStamp Stamp;
    std::shared_ptr<const ParsedPrivateProfile> Profile;
};

std::mutex CacheMutex;
std::map<std::string, CacheEntry> Cache;

std::shared_ptr<const ParsedPrivateProfile> LoadProfile(const std::string& path) {
    if (path.empty())
        return nullptr;
    const ProfileFileStamp stamp = StampOfProfileFile(path);
    if (stamp.Kind != ProfileFileKind::Regular) {
        std::lock_guard lock(CacheMutex);
        Cache.erase(path);
        return nullptr;
    }
    {
        std::lock_guard lock(CacheMutex);
        const auto it = Cache.find(path);
        if (it != Cache.end() && it->second.Stamp == stamp)
            return it->second.Profile;
    }
    std::string content;
    if (!ReadFileContent(path, MaximumProfileSize, content))
        return nullptr;
    auto profile = std::make_shared<const ParsedPrivateProfile>(Parse(content));
    std::lock_guard lock(CacheMutex);
    Cache[path] = CacheEntry{stamp, profile};
    return profile;
}

const std::string* FindValue(const ParsedPrivateProfile* profile, const std::string& section,
                             const std::string& key) {
    if (profile == nullptr)
        return nullptr;
    const auto sectionIt = profile->Sections.find(Upper(Trim(section)));
    if (sectionIt == profile->Sections.end())
        return nullptr;
    const auto keyIt = sectionIt->second.find(Upper(Trim(key)));
    return keyIt == sectionIt->second.end() ? nullptr : &keyIt->second;
}

long long ParseProfileInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    unsigned long long value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::toupper(c) - 'A' + 10;
        else
            break;
        // Keep the low 32 bits, as a 32-bit reader would; never overflow.
        value = (value * static_cast<unsigned>(base) + static_cast<unsigned>(digit)) & 0xFFFFFFFFull;
    }
    const auto word = static_cast<std::uint32_t>(value);
    return negative ? -static_cast<long long>(static_cast<std::int32_t>(word))
                    : static_cast<std::int32_t>(word);
}

} // namespace

PrivateProfileSnapshot::PrivateProfileSnapshot(const std::string& path) : m_Profile(LoadProfile(path)) {}

PrivateProfileSnapshot::~PrivateProfileSnapshot() = default;

std::string PrivateProfileSnapshot::ReadString(const std::string& section, const std::string& key,
                                               const std::string& defaultValue,
                                               std::size_t bufferSize) const {
    if (bufferSize == 0)
        return {};
    const std::string* value = FindValue(m_Profile.get(), section, key);
    const std::string& text = value ? *value : defaultValue;
    return text.substr(0, std::min(text.size(), bufferSize - 1));
}

int PrivateProfileSnapshot::ReadInt(const std::string& section, const std::string& key,
                                    int defaultValue) const {
    const std::string* value = FindValue(m_Profile.get(), section, key);
    if (value == nullptr || value->empty())
        return defaultValue;
    return static_cast<int>(
        static_cast<std::int32_t>(static_cast<std::uint32_t>(ParseProfileInteger(*value))));
}

std::vector<std::string> PrivateProfileSnapshot::SectionNames() const {
    return m_Profile ? m_Profile->SectionNames : std::vector<std::string>();
}

std::string ReadPrivateProfileString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, std::size_t bufferSize,
                                     const std::string& path) {
    return PrivateProfileSnapshot(path).ReadString(section, key, defaultValue, bufferSize);
}

int ReadPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                          const std::string& path) {
    return PrivateProfileSnapshot(path).ReadInt(section, key, defaultValue);
}

namespace {

// Sets key=value in the section of the lines, adding section or key where missing.
void SetKeyInLines(std::vector<std::string>& lines, const std::string& section, const std::string& key,
                   const std::string& value) {
    const std::string wantedSection = Upper(Trim(section));
    const std::string wantedKey = Upper(Trim(key));
    const std::string newLine = Trim(key) + "=" + value;

    std::size_t sectionLine = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionName(lines[i], name) && Upper(name) == wantedSection) {
            sectionLine = i;
            break;
        }
    }
    if (sectionLine == lines.size()) {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + Trim(section) + "]");
        lines.push_back(newLine);
        return;
    }
    std::size_t insertAt = sectionLine + 1;
    for (std::size_t i = sectionLine + 1; i < lines.size(); ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], name))
            break;
        if (KeyAndValue(lines[i], k, v)) {
            if (Upper(k) == wantedKey) {
                lines[i] = newLine;
                return;
            }
            insertAt = i + 1;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), newLine);
}

} // namespace

bool WritePrivateProfileStrings(const std::string& section,
                                const std::vector<std::pair<std::string, std::string>>& keysAndValues,
                                const std::string& path) {
    const auto breaksLine = [](const std::string& text) {
        return text.find_first_of("\r\n") != std::string::npos;
    };
    if (path.empty() || Trim(section).empty() || breaksLine(section))
        return false;
    for (const auto& [key, value] : keysAndValues)
        if (Trim(key).empty() || breaksLine(key) || breaksLine(value))
            return false;

    std::string content;
    if (StampOfProfileFile(path).Kind != ProfileFileKind::Missing &&
        !ReadFileContent(path, MaximumProfileSize, content))
        return false;
    const bool crlf = content.find("\r\n") != std::string::npos;
    std::vector<std::string> lines = SplitLines(content);
    for (const auto& [key, value] : keysAndValues)
        SetKeyInLines(lines, section, key, value);

    std::string output;
    const char* ending = crlf ? "\r\n" : "\n";
    for (const auto& line : lines)
        output += line + ending;
    return ReplaceProfileFile(path, output);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path) {
    return WritePrivateProfileStrings(section, {{key, value}}, path);
}

bool IsTemporarySuffix(const std::string& suffix) {
    return suffix.size() == TemporarySuffixLength &&
           std::all_of(suffix.begin(), suffix.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
}

std::string TemporarySuffix() {
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mutex guard;
    static std::mt19937 random{std::random_device{}()};
    std::lock_guard lock(guard);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof Alphabet - 2);
    std::string suffix(TemporarySuffixLength, 'A');
    for (char& c : suffix)
        c = Alphabet[pick(random)];
    return suffix;
}

void ClearPrivateProfileCache() {
    std::lock_guard lock(CacheMutex);
    Cache.clear();
}
