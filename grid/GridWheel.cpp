#include "grid/GridWheel.h"

namespace {

constexpr long long Notch = 120;

} // namespace

void CGridWheel::SetLinesPerNotch(unsigned lines) {
    m_LinesPerNotch = lines;
    m_Remainder = 0;
}

GridWheelSteps CGridWheel::Add(int delta) {
    if ((delta > 0 && m_Remainder < 0) || (delta < 0 && m_Remainder > 0)) {
        m_Remainder = 0;
    }
    GridWheelSteps steps;
    if (m_LinesPerNotch == PagePerNotch) {
        m_Remainder += delta;
        steps.Pages = int(m_Remainder / Notch);
        m_Remainder -= steps.Pages * Notch;
        return steps;
    }
    m_Remainder += static_cast<long long>(delta) * m_LinesPerNotch;
    steps.Lines = int(m_Remainder / Notch);
    m_Remainder -= steps.Lines * Notch;
    return steps;
}
