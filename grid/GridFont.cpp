#include "grid/GridFont.h"

#include <QFontInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

QFont ToQFont(const LogFont& font) {
    QFont result = QGuiApplication::instance() != nullptr ? QGuiApplication::font() : QFont();
    if (!font.FaceName.empty()) {
        result.setFamily(QString::fromStdString(font.FaceName));
    }
    if (font.Height != 0) {
        result.setPixelSize(std::max(1, std::abs(font.Height)));
    }
    // 0 means "don't care"; Qt's weights share the 1..1000 scale.
    const int weight = font.Weight <= 0 ? 400 : std::clamp(font.Weight, 1, 1000);
    result.setWeight(QFont::Weight(weight));
    result.setItalic(font.Italic);
    result.setUnderline(font.Underline);
    result.setStrikeOut(font.StrikeOut);
    return result;
}

LogFont ToLogFont(const QFont& font) {
    LogFont result;
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    result.Height = -std::max(1, pixels);
    result.Weight = int(font.weight());
    result.Italic = font.italic();
    result.Underline = font.underline();
    result.StrikeOut = font.strikeOut();
    result.FaceName = font.family().toStdString();
    return result;
}

LogFont MessageFont() {
    if (QGuiApplication::instance() == nullptr) {
        return LogFont{};
    }
    return ToLogFont(QGuiApplication::font());
}

bool IsVerticalFont(const LogFont& font) {
    return font.Escapement == 900 || font.Escapement == -900;
}
