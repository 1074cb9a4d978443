#pragma once
// Run-time class records of the cells: create a cell class by its name and tell what it derives from.

#include <memory>
#include <string_view>

class CGridCellBase;

struct GridCellClassRecord {
    using Factory = std::unique_ptr<CGridCellBase> (*)();

    std::string_view Name;
    std::string_view BaseName; // empty for the root
    Factory Create = nullptr;  // none for an abstract class
};

class CGridCellClassRegistry {
public:
    // Adds or replaces a record; names must outlive the program (string literals).
    static void Register(const GridCellClassRecord& record);
    static const GridCellClassRecord* Find(std::string_view name);
    static bool IsDerivedFrom(std::string_view name, std::string_view baseName);
    // None for an unknown or abstract class.
    static std::unique_ptr<CGridCellBase> Create(std::string_view name);
};
