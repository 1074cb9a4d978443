#pragma once
// Small helpers shared by the files that implement CGridCtrl.

#include "grid/GridColours.h"
#include "grid/GridDefaultCell.h"

#include <QColor>

#include <algorithm>
#include <climits>

namespace GridCtrlDetail {

inline QColor BackOf(const CGridDefaultCell& cell, int fallbackIndex) {
    return ToQColor(cell.BackColour() == CLR_DEFAULT ? SystemColour(fallbackIndex) : cell.BackColour());
}

inline QColor TextOf(const CGridDefaultCell& cell) {
    return ToQColor(cell.TextColour() == CLR_DEFAULT ? SystemColour(COLOR_WINDOWTEXT) : cell.TextColour());
}

inline int ClampToInt(long long value) {
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

} // namespace GridCtrlDetail
