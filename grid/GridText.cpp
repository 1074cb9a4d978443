#include "grid/GridText.h"

#include "grid/GridTypes.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

int ToQtTextFlags(unsigned format) {
    int flags = 0;
    if (format & DT_CENTER) {
        flags |= Qt::AlignHCenter;
    } else if (format & DT_RIGHT) {
        flags |= Qt::AlignRight;
    } else {
        flags |= Qt::AlignLeft;
    }
    // Vertical placement only applies to a single line, as with DrawText.
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) {
        flags |= Qt::AlignVCenter;
    } else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM)) {
        flags |= Qt::AlignBottom;
    } else {
        flags |= Qt::AlignTop;
    }
    if (format & DT_SINGLELINE) {
        flags |= Qt::TextSingleLine;
    } else if (format & DT_WORDBREAK) {
        flags |= Qt::TextWordWrap;
    }
    if (format & DT_EXPANDTABS) {
        flags |= Qt::TextExpandTabs;
    }
    if (!(format & DT_NOPREFIX)) {
        flags |= Qt::TextShowMnemonic;
    }
    if (format & DT_NOCLIP) {
        flags |= Qt::TextDontClip;
    }
    return flags;
}

namespace {

Qt::TextElideMode ElideModeOf(unsigned format) {
    if (!(format & DT_SINGLELINE) && (format & DT_WORDBREAK)) {
        return Qt::ElideNone;
    }
    if (format & DT_PATH_ELLIPSIS) {
        return Qt::ElideMiddle;
    }
    if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) {
        return Qt::ElideRight;
    }
    return Qt::ElideNone;
}

// Width of a short plain-ASCII text from its characters' advances, or -1 when that cannot tell
// whether it fits. Shaping the text just to learn that it fits costs as much as drawing it.
int FittingWidth(const QPainter& dc, const QString& text, int room) {
    constexpr qsizetype ShortText = 64;
    if (text.size() > ShortText) {
        return -1;
    }
    const QFontMetricsF metrics(dc.font());
    qreal width = 0;
    for (const QChar ch : text) {
        if (ch.unicode() < 0x20 || ch.unicode() >= 0x7F) {
            return -1;
        }
        width += metrics.horizontalAdvance(ch);
    }
    // A pixel of slack for kerning, which the single advances leave out.
    const int estimate = int(std::ceil(width)) + 1;
    return estimate <= room ? estimate : -1;
}

// Most cells hold one short line: place it by hand, which skips the layout engine.
bool DrawSingleLineFast(QPainter& dc, const QRect& rect, const QString& text, unsigned format, int flags) {
    if ((flags & (Qt::TextShowMnemonic | Qt::TextExpandTabs | Qt::TextWordWrap)) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\t'))) {
        return false;
    }
    const QFontMetrics metrics = dc.fontMetrics();
    if (metrics.height() > rect.height()) {
        return false;
    }
    QString shown = text;
    int width = FittingWidth(dc, text, rect.width());
    if (width < 0) {
        width = metrics.horizontalAdvance(shown);
    }
    const Qt::TextElideMode elide = ElideModeOf(format);
    if (width > rect.width()) {
        if (elide == Qt::ElideNone) {
            return false;
        }
        shown = metrics.elidedText(text, elide, rect.width());
        width = metrics.horizontalAdvance(shown);
    }
    int x = rect.left();
    if (flags & Qt::AlignHCenter) {
        x += (rect.width() - width) / 2;
    } else if (flags & Qt::AlignRight) {
        x = rect.left() + rect.width() - width;
    }
    int y = rect.top() + metrics.ascent();
    if (flags & Qt::AlignVCenter) {
        y = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
    } else if (flags & Qt::AlignBottom) {
        y = rect.top() + rect.height() - metrics.descent() - 1;
    }
    dc.drawText(QPoint(x, y), shown);
    return true;
}

} // namespace

void DrawCellText(QPainter& dc, const QRect& rect, const QString& text, unsigned format, int escapement) {
    if (text.isEmpty() || rect.isEmpty()) {
        return;
    }
    const int flags = ToQtTextFlags(format);
    if (escapement != 0) {
        // Rotated text: lay it out in a rectangle turned with it.
        dc.save();
        dc.translate(rect.center());
        dc.rotate(-escapement / 10.0);
        const bool vertical = escapement == 900 || escapement == -900;
        const QSize size = vertical ? rect.size().transposed() : rect.size();
        const QRect turned(-size.width() / 2, -size.height() / 2, size.width(), size.height());
        dc.drawText(turned, flags, text);
        dc.restore();
        return;
    }
    if (DrawSingleLineFast(dc, rect, text, format, flags)) {
        return;
    }
    const Qt::TextElideMode elide = ElideModeOf(format);
    if (elide != Qt::ElideNone && dc.fontMetrics().horizontalAdvance(text) > rect.width()) {
        dc.drawText(rect, flags, dc.fontMetrics().elidedText(text, elide, rect.width(), flags));
        return;
    }
    dc.drawText(rect, flags, text);
}

QSize MeasureCellText(const QFontMetrics& metrics, const QString& text, unsigned format) {
    const int flags = ToQtTextFlags(format);
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
        return {metrics.horizontalAdvance(text), metrics.height()};
    }
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const QRect bounds = metrics.boundingRect(QRect(0, 0, widest + 1, INT_MAX / 2), flags, text);
    return {widest, bounds.height()};
}
