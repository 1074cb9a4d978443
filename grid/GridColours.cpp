#include "grid/GridColours.h"

#include <QGuiApplication>
#include <QPalette>

QColor ToQColor(COLORREF colour) {
    return QColor(int(RedOf(colour)), int(GreenOf(colour)), int(BlueOf(colour)));
}

COLORREF ToColorRef(const QColor& colour) {
    return Rgb(unsigned(colour.red()), unsigned(colour.green()), unsigned(colour.blue()));
}

namespace {

struct RoleOfIndex {
    int Index;
    QPalette::ColorRole Role;
    COLORREF Fallback; // used before an application exists
};

constexpr RoleOfIndex Roles[] = {
    {COLOR_WINDOW, QPalette::Base, Rgb(255, 255, 255)},
    {COLOR_WINDOWTEXT, QPalette::Text, Rgb(0, 0, 0)},
    {COLOR_HIGHLIGHT, QPalette::Highlight, Rgb(0, 120, 215)},
    {COLOR_HIGHLIGHTTEXT, QPalette::HighlightedText, Rgb(255, 255, 255)},
    {COLOR_BTNFACE, QPalette::Button, Rgb(240, 240, 240)},
    {COLOR_BTNSHADOW, QPalette::Dark, Rgb(160, 160, 160)},
    {COLOR_BTNTEXT, QPalette::ButtonText, Rgb(0, 0, 0)},
    {COLOR_3DHILIGHT, QPalette::Light, Rgb(255, 255, 255)},
    {COLOR_3DDKSHADOW, QPalette::Shadow, Rgb(105, 105, 105)},
    {COLOR_INFOTEXT, QPalette::ToolTipText, Rgb(0, 0, 0)},
    {COLOR_INFOBK, QPalette::ToolTipBase, Rgb(255, 255, 225)},
};

} // namespace

COLORREF SystemColour(int index) {
    for (const RoleOfIndex& entry : Roles) {
        if (entry.Index != index) {
            continue;
        }
        if (QGuiApplication::instance() == nullptr) {
            return entry.Fallback;
        }
        return ToColorRef(QGuiApplication::palette().color(QPalette::Active, entry.Role));
    }
    return Rgb(0, 0, 0);
}
