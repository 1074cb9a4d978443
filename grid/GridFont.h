#pragma once
// Font records (LogFont) meet Qt only here.

#include "grid/GridTypes.h"

#include <QFont>

QFont ToQFont(const LogFont& font);
LogFont ToLogFont(const QFont& font);

// The font the desktop uses for messages; the default cells start with it.
LogFont MessageFont();

// True when the record asks for vertical text (escapement of 90 degrees either way).
bool IsVerticalFont(const LogFont& font);
