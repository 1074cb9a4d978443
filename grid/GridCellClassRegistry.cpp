#include "grid/GridCellClassRegistry.h"

#include "grid/GridCell.h"
#include "grid/GridDefaultCell.h"

#include <vector>

namespace {

template <typename Cell> std::unique_ptr<CGridCellBase> CreateCell() {
    return std::make_unique<Cell>();
}

std::vector<GridCellClassRecord>& Records() {
    static std::vector<GridCellClassRecord> records{
        {"CGridCellBase", "", nullptr},
        {"CGridCell", "CGridCellBase", &CreateCell<CGridCell>},
        {"CGridDefaultCell", "CGridCell", &CreateCell<CGridDefaultCell>},
    };
    return records;
}

} // namespace

void CGridCellClassRegistry::Register(const GridCellClassRecord& record) {
    for (GridCellClassRecord& existing : Records()) {
        if (existing.Name == record.Name) {
            existing = record;
            return;
        }
    }
    Records().push_back(record);
}

const GridCellClassRecord* CGridCellClassRegistry::Find(std::string_view name) {
    for (const GridCellClassRecord& record : Records()) {
        if (record.Name == name) {
            return &record;
        }
    }
    return nullptr;
}

bool CGridCellClassRegistry::IsDerivedFrom(std::string_view name, std::string_view baseName) {
    // Bounded walk: a bad registration cannot loop forever.
    for (std::size_t step = 0; step <= Records().size() && !name.empty(); ++step) {
        if (name == baseName) {
            return true;
        }
        const GridCellClassRecord* record = Find(name);
        if (record == nullptr) {
            return false;
        }
        name = record->BaseName;
    }
    return false;
}

std::unique_ptr<CGridCellBase> CGridCellClassRegistry::Create(std::string_view name) {
    const GridCellClassRecord* record = Find(name);
    if (record == nullptr || record->Create == nullptr) {
        return nullptr;
    }
    return record->Create();
}
