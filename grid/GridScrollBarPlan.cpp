#include "grid/GridScrollBarPlan.h"

#include <algorithm>
#include <climits>

namespace {

int ClampToInt(long long value) {
    return int(std::clamp<long long>(value, 0, INT_MAX));
}

} // namespace

GridScrollBarPlan PlanScrollBars(const GridScrollBarInput& input) {
    GridScrollBarPlan plan;
    const int visibleWidth = input.AreaWidth - input.FixedWidth;
    const int visibleHeight = input.AreaHeight - input.FixedHeight;
    if (visibleWidth <= 0 || visibleHeight <= 0) {
        return plan;
    }
    bool vertical = input.NonFixedHeight > visibleHeight;
    bool horizontal = input.NonFixedWidth > visibleWidth;
    // Each bar takes room from the other direction.
    if (vertical && !horizontal) {
        horizontal = input.NonFixedWidth > visibleWidth - input.VerticalBarWidth;
    }
    if (horizontal && !vertical) {
        vertical = input.NonFixedHeight > visibleHeight - input.HorizontalBarHeight;
        if (vertical) {
            horizontal = true;
        }
    }
    plan.ShowVertical = vertical;
    plan.ShowHorizontal = horizontal;
    if (vertical) {
        plan.VerticalPage = std::max(1, visibleHeight - (horizontal ? input.HorizontalBarHeight : 0));
        plan.VerticalMaximum = ClampToInt(input.NonFixedHeight - plan.VerticalPage);
    }
    if (horizontal) {
        plan.HorizontalPage = std::max(1, visibleWidth - (vertical ? input.VerticalBarWidth : 0));
        plan.HorizontalMaximum = ClampToInt(input.NonFixedWidth - plan.HorizontalPage);
    }
    return plan;
}
