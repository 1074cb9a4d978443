#pragma once
// COLORREF values meet Qt only here, where drawing happens.

#include "grid/GridTypes.h"

#include <QColor>

QColor ToQColor(COLORREF colour);
COLORREF ToColorRef(const QColor& colour);

// The system colour of a classic index (COLOR_BTNFACE, ...) from the application palette.
COLORREF SystemColour(int index);
