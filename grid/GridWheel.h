#pragma once
// Turns wheel movement into line or page steps: d units with n lines per notch give d * n / 120 lines.

#include <climits>

struct GridWheelSteps {
    int Lines = 0; // positive: up
    int Pages = 0;
};

class CGridWheel {
public:
    // The platform's "one page per notch" setting.
    static constexpr unsigned PagePerNotch = UINT_MAX;

    explicit CGridWheel(unsigned linesPerNotch = 3) : m_LinesPerNotch(linesPerNotch) {}

    unsigned LinesPerNotch() const { return m_LinesPerNotch; }
    void SetLinesPerNotch(unsigned lines);
    GridWheelSteps Add(int delta);

private:
    unsigned m_LinesPerNotch = 3;
    // Fine-grained wheels and touch pads send deltas well below a notch; what a step has not
    // used is kept for the next movement in the same direction.
    long long m_Remainder = 0;
};
