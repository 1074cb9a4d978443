#pragma once
// Plain records and constants of the grid that code without Qt may use (the
// configuration fills the tool table through them). Values match the classic
// DrawText, colour and list-view constants so stored formats keep their meaning.

#include <cstdint>
#include <string>

using COLORREF = std::uint32_t;

constexpr COLORREF Rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned RedOf(COLORREF c) {
    return c & 0xFFu;
}
constexpr unsigned GreenOf(COLORREF c) {
    return (c >> 8) & 0xFFu;
}
constexpr unsigned BlueOf(COLORREF c) {
    return (c >> 16) & 0xFFu;
}

// Stands for "take the colour of the default cell".
constexpr COLORREF CLR_DEFAULT = 0xFF000000u;

// System colour indices in the classic numbering; SystemColour() in grid/GridColours.h reads them.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_3DHILIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;

// Text format flags.
constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_EXPANDTABS = 0x40;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_CALCRECT = 0x400;
constexpr unsigned DT_NOPREFIX = 0x800;
constexpr unsigned DT_PATH_ELLIPSIS = 0x4000;
constexpr unsigned DT_END_ELLIPSIS = 0x8000;
constexpr unsigned DT_WORD_ELLIPSIS = 0x40000;

// GridItem mask bits: which fields of the item are meant.
constexpr unsigned GVIF_TEXT = 0x001;
constexpr unsigned GVIF_IMAGE = 0x002;
constexpr unsigned GVIF_PARAM = 0x004;
constexpr unsigned GVIF_STATE = 0x008;
constexpr unsigned GVIF_BKCLR = 0x010;
constexpr unsigned GVIF_FGCLR = 0x020;
constexpr unsigned GVIF_FORMAT = 0x040;
constexpr unsigned GVIF_FONT = 0x080;
constexpr unsigned GVIF_MARGIN = 0x100;

// Cell state flags.
constexpr unsigned GVIS_FOCUSED = 0x01;
constexpr unsigned GVIS_SELECTED = 0x02;
constexpr unsigned GVIS_DROPHILITED = 0x04;
constexpr unsigned GVIS_READONLY = 0x08;
constexpr unsigned GVIS_FIXED = 0x10;
constexpr unsigned GVIS_FIXEDROW = 0x20;
constexpr unsigned GVIS_FIXEDCOL = 0x40;
constexpr unsigned GVIS_MODIFIED = 0x80;

// Grid-line settings.
constexpr int GVL_NONE = 0;
constexpr int GVL_HORZ = 1;
constexpr int GVL_VERT = 2;
constexpr int GVL_BOTH = 3;

// A font description; Height is in pixels (negative: character height, as usual).
struct LogFont {
    int Height = 0;
    int Width = 0;
    int Escapement = 0;
    int Orientation = 0;
    int Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::string FaceName;

    bool operator==(const LogFont&) const = default;
};

// One cell's values as the grid's user reads and writes them.
struct GridItem {
    int Row = 0;
    int Col = 0;
    unsigned Mask = 0;
    unsigned State = 0;
    unsigned Format = 0;
    int Image = -1;
    COLORREF BackColour = CLR_DEFAULT;
    COLORREF TextColour = CLR_DEFAULT;
    std::intptr_t Data = 0;
    LogFont Font;
    unsigned Margin = 0;
    std::string Text;
};
