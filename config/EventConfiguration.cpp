#include "config/EventConfiguration.h"

#include "app/core/AppSettings.h"
#include "config/NumberText.h"
#include "config/ProjectDocument.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

bool ValidToolIndex(int index) {
    return index >= 0 && index < ToolSlotCount;
}

// Reads a number attribute; an absent, empty or non-numeric value keeps `value`.
void ReadNumberAttribute(const pugi::xml_node& element, const char* name, bool hexadecimal,
                         std::uint32_t& value) {
    std::string text;
    if (!ReadAttribute(element, name, text) || text.empty())
        return;
    if (hexadecimal)
        ScanHexadecimal(text, value);
    else
        ScanUnsignedDecimal(text, value);
}

GlobalParameters ReadGlobalParameters(const pugi::xml_node& global) {
    GlobalParameters parameters;
    ReadNumberAttribute(global, "UniqueID", false, parameters.UniqueID);
    ReadAttribute(global, "ConfigDescription", parameters.Description);
    ReadAttribute(global, "EventVar", parameters.EventVariable);
    ReadNumberAttribute(global, "EventOption", true, parameters.EventOption);
    ReadAttribute(global, "AckVar", parameters.AcknowledgeVariable);
    ReadNumberAttribute(global, "AckOption", true, parameters.AcknowledgeOption);
    ReadNumberAttribute(global, "PollCycle", false, parameters.PollCycle);
    if (parameters.Description.empty())
        parameters.Description = "Tool configuration " + std::to_string(parameters.UniqueID);
    return parameters;
}

void ReadToolEntries(const pugi::xml_node& tools, EventConfiguration& configuration) {
    for (int index = 0; index < ToolSlotCount; ++index) {
        char name[16];
        std::snprintf(name, sizeof name, "TOOL%02d", index + 1);
        const pugi::xml_node element = FindChildElement(tools, name);
        if (!element)
            continue;
        ToolEntry entry;
        ReadAttribute(element, "Tool", entry.Tool);
        ReadAttribute(element, "Path", entry.Path);
        ReadAttribute(element, "Paramater", entry.Parameter);
        configuration.SetToolEntry(index, entry);
    }
}

} // namespace

ToolEntry EventConfiguration::GetToolEntry(int index) const {
    return ValidToolIndex(index) ? m_Tools[static_cast<std::size_t>(index)] : ToolEntry{};
}

void EventConfiguration::SetToolEntry(int index, const ToolEntry& entry) {
    if (ValidToolIndex(index))
        m_Tools[static_cast<std::size_t>(index)] = entry;
}

EventConfiguration* EventConfigurationList::AppendConfiguration(const GlobalParameters& parameters) {
    if (parameters.EventVariable.empty() || parameters.AcknowledgeVariable.empty())
        return nullptr;
    return &m_Configurations.emplace_back(parameters);
}

const EventConfiguration* EventConfigurationList::FindConfiguration(std::uint32_t uniqueID) const {
    const auto it =
        std::find_if(m_Configurations.begin(), m_Configurations.end(),
                     [uniqueID](const EventConfiguration& c) { return c.UniqueID() == uniqueID; });
    return it == m_Configurations.end() ? nullptr : &*it;
}

std::uint32_t EventConfigurationList::NextFreeUniqueID() const {
    std::set<std::uint32_t> used;
    for (const auto& configuration : m_Configurations)
        used.insert(configuration.UniqueID());
    std::uint32_t gapCandidate = 1;
    return NextFreeUniqueID(used, gapCandidate);
}

std::uint32_t EventConfigurationList::NextFreeUniqueID(const std::set<std::uint32_t>& used,
                                                       std::uint32_t& gapCandidate) {
    const std::uint32_t largest = used.empty() ? 0 : *used.rbegin();
    if (largest != UINT32_MAX)
        return largest + 1;
    // One more would wrap to 0: take the smallest id not in use instead (fewer
    // than 2^32 - 1 configurations always leave one). Candidates only grow.
    while (used.count(gapCandidate) != 0)
        ++gapCandidate;
    return gapCandidate;
}

void EventConfigurationList::AssignMissingUniqueIDs() {
    // Each assignment counts for the next, as if NextFreeUniqueID were asked each
    // time, without walking the list again for every configuration.
    std::set<std::uint32_t> used;
    for (const auto& configuration : m_Configurations)
        used.insert(configuration.UniqueID());
    std::uint32_t gapCandidate = 1;
    for (auto& configuration : m_Configurations) {
        if (configuration.UniqueID() != 0)
            continue;
        configuration.m_Parameters.UniqueID = NextFreeUniqueID(used, gapCandidate);
        used.insert(configuration.UniqueID());
    }
}

EventConfigurationList& Configurations() {
    static EventConfigurationList list;
    return list;
}

const EventConfiguration* ConfigurationInUse(const AppSettings& settings) {
    return Configurations().FindConfiguration(static_cast<std::uint32_t>(settings.UsedUniqueID));
}

bool ReadToolConfigurations() {
    EventConfigurationList& list = Configurations();
    list.ClearConfigurations();
    std::string path;
    if (!ReadConfigurationPath(path))
        return false;
    pugi::xml_document document;
    const pugi::xml_node data = OpenProjectSection(path, document, "KavelData");
    if (!data)
        return false;
    // The first "KVDATA" and every sibling after it, whatever its name.
    for (pugi::xml_node node = FindChildElement(data, "KVDATA"); node; node = node.next_sibling()) {
        const pugi::xml_node global = FindChildElement(node, "GlobalPara");
        if (!global)
            continue;
        EventConfiguration* configuration = list.AppendConfiguration(ReadGlobalParameters(global));
        if (configuration == nullptr)
            continue;
        const pugi::xml_node tools = FindChildElement(node, "ToolPara");
        if (tools)
            ReadToolEntries(tools, *configuration);
    }
    list.AssignMissingUniqueIDs();
    return true;
}
