#pragma once

#include "config/ToolSlot.h"

#include <array>
#include <cstdint>
#include <list>
#include <set>
#include <string>

// The tool of one bit of the event variable. An empty Tool means no tool.
struct ToolEntry {
    std::string Path;
    std::string Tool;
    std::string Parameter;
};

// The values of one configuration's "GlobalPara", with the defaults a read starts from.
struct GlobalParameters {
    std::string Description;
    std::uint32_t UniqueID = 0;
    std::string EventVariable;
    std::uint32_t EventOption = 0;
    std::string AcknowledgeVariable;
    std::uint32_t AcknowledgeOption = 0;
    std::uint32_t PollCycle = 5;
};

// One event configuration: its global values and a tool entry per bit.
class EventConfiguration {
public:
    explicit EventConfiguration(const GlobalParameters& parameters) : m_Parameters(parameters) {}

    const GlobalParameters& GetGlobalParameters() const { return m_Parameters; }
    std::uint32_t UniqueID() const { return m_Parameters.UniqueID; }
    // An index outside 0..15 gives an empty entry, and setting it changes nothing.
    ToolEntry GetToolEntry(int index) const;
    void SetToolEntry(int index, const ToolEntry& entry);

private:
    friend class EventConfigurationList;

    GlobalParameters m_Parameters;
    std::array<ToolEntry, ToolSlotCount> m_Tools{};
};

// The configurations of the project file in file order; it owns them, and a
// configuration stays where it is until the list is cleared.
class EventConfigurationList {
public:
    using const_iterator = std::list<EventConfiguration>::const_iterator;

    void ClearConfigurations() { m_Configurations.clear(); }
    // None when the event or the acknowledge variable is empty.
    EventConfiguration* AppendConfiguration(const GlobalParameters& parameters);

    std::uint32_t Count() const { return static_cast<std::uint32_t>(m_Configurations.size()); }
    bool Empty() const { return m_Configurations.empty(); }
    const_iterator begin() const { return m_Configurations.begin(); }
    const_iterator end() const { return m_Configurations.end(); }

    // The first configuration with this id, or none.
    const EventConfiguration* FindConfiguration(std::uint32_t uniqueID) const;
    // One more than the largest id, 1 for an empty list. When the largest id is
    // the largest number, the smallest id not in use, so 0 is never handed out.
    std::uint32_t NextFreeUniqueID() const;
    // Gives every configuration with id 0 the next free id, in list order.
    void AssignMissingUniqueIDs();

private:
    static std::uint32_t NextFreeUniqueID(const std::set<std::uint32_t>& used, std::uint32_t& gapCandidate);

    std::list<EventConfiguration> m_Configurations;
};

// The program's one list of configurations.
EventConfigurationList& Configurations();

struct AppSettings;
// The configuration of the program's list whose id is the setting UsedUniqueID
// (taken as unsigned, as it is compared), or none.
const EventConfiguration* ConfigurationInUse(const AppSettings& settings);

// Reads the event configurations of the project file named in the settings
// into Configurations(). False when there is no project file, it cannot be
// loaded, or "AdvancedPara", "KavelPara" or "KavelData" is missing.
bool ReadToolConfigurations();
