#pragma once
// A cell position and a rectangular block of positions.

#include <cstdint>

struct GridCellId {
    int Row = -1;
    int Col = -1;

    bool IsValid() const { return Row >= 0 && Col >= 0; }
    bool operator==(const GridCellId&) const = default;

    // Key for the selection map.
    std::uint64_t Key() const { return (std::uint64_t(std::uint32_t(Row)) << 32) | std::uint32_t(Col); }
    static GridCellId FromKey(std::uint64_t key) {
        return {int(std::uint32_t(key >> 32)), int(std::uint32_t(key))};
    }
};

struct GridCellRange {
    int MinRow = -1;
    int MinCol = -1;
    int MaxRow = -1;
    int MaxCol = -1;

    bool IsValid() const { return MinRow >= 0 && MinCol >= 0 && MaxRow >= MinRow && MaxCol >= MinCol; }
    bool Contains(int row, int col) const {
        return IsValid() && row >= MinRow && row <= MaxRow && col >= MinCol && col <= MaxCol;
    }
    bool operator==(const GridCellRange&) const = default;
};
