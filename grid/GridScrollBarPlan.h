#pragma once
// Which scroll bars the grid needs and their ranges, from its sizes alone.

struct GridScrollBarInput {
    int AreaWidth = 0; // client area as it would be without scroll bars
    int AreaHeight = 0;
    int FixedWidth = 0;
    int FixedHeight = 0;
    long long NonFixedWidth = 0;
    long long NonFixedHeight = 0;
    int VerticalBarWidth = 0;
    int HorizontalBarHeight = 0;
};

struct GridScrollBarPlan {
    bool ShowVertical = false;
    bool ShowHorizontal = false;
    int VerticalPage = 0;
    int HorizontalPage = 0;
    // Largest scroll position: the range runs 0 to (size - 1) with a page, so the last page starts at size -
    // page.
    int VerticalMaximum = 0;
    int HorizontalMaximum = 0;
};

GridScrollBarPlan PlanScrollBars(const GridScrollBarInput& input);
