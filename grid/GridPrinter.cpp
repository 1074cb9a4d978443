#include "grid/GridPrinter.h"

#include "grid/GridCtrl.h"

#include <QFontMetricsF>
#include <QPageRanges>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

QFont PrinterFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    font.setWeight(QFont::Normal);
    return font;
}

double AverageCharWidth(const QFontMetricsF& metrics) {
    return metrics.horizontalAdvance(QString::fromLatin1(CGridPrinter::AverageWidthSample)) / 52.0;
}

QString DateTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[128] = {};
    std::strftime(buffer, sizeof buffer, "%c", &local);
    return QString::fromLocal8Bit(buffer);
}

int Scaled(long long pixels, double scale) {
    return int(std::lround(double(pixels) * scale));
}

} // namespace

std::vector<CGridPrinter::Band> CGridPrinter::SplitIntoBands(bool rows, double scale, int room) const {
    const int first = rows ? m_Grid.GetFixedRowCount() : m_Grid.GetFixedColumnCount();
    const int count = rows ? m_Grid.GetRowCount() : m_Grid.GetColumnCount();
    std::vector<Band> bands;
    int start = first;
    long long used = 0;
    for (int index = first; index < count; ++index) {
        const int size = Scaled(rows ? m_Grid.GetRowHeight(index) : m_Grid.GetColumnWidth(index), scale);
        // A row taller than the page still gets a page of its own.
        if (used > 0 && used + size > room) {
            bands.emplace_back(start, index - 1);
            start = index;
            used = 0;
        }
        used += size;
    }
    if (start < count || bands.empty()) {
        bands.emplace_back(start, count - 1);
    }
    return bands;
}

CGridPrinter::Layout CGridPrinter::PlanPages(QPrinter& printer) const {
    Layout layout;
    const QFontMetricsF printerMetrics(PrinterFont(), &printer);
    const QFontMetricsF screenMetrics(m_Grid.GetDefaultCell(false, false)->FontObject());
    const double printerChar = AverageCharWidth(printerMetrics);
    const double screenChar = AverageCharWidth(screenMetrics);
    // Cells keep their proportions to the text: a screen character becomes a printed one.
    layout.Scale = screenChar > 0 ? printerChar / screenChar : 1.0;
    layout.Page = QRect(0, 0, printer.width(), printer.height());
    layout.LineHeight = int(std::ceil(printerMetrics.height()));
    layout.HeaderHeight = 2 * layout.LineHeight;
    layout.FooterHeight = 2 * layout.LineHeight;
    const int rowRoom = layout.Page.height() - layout.HeaderHeight - layout.FooterHeight -
                        Scaled(m_Grid.GetFixedRowHeight(), layout.Scale);
    const int columnRoom = layout.Page.width() - Scaled(m_Grid.GetFixedColumnWidth(), layout.Scale);
    layout.RowBands = SplitIntoBands(true, layout.Scale, std::max(1, rowRoom));
    layout.ColumnBands = SplitIntoBands(false, layout.Scale, std::max(1, columnRoom));
    return layout;
}

int CGridPrinter::PageCount(QPrinter& printer) const {
    return PlanPages(printer).PageCount();
}

std::vector<int> CGridPrinter::PrintOrder(QPrinter& printer, int pageCount) {
    const QPageRanges ranges = printer.pageRanges();
    const bool all = printer.printRange() != QPrinter::PageRange || ranges.isEmpty();
    std::vector<int> pages;
    for (int page = 1; page <= pageCount; ++page) {
        if (all || ranges.contains(page)) {
            pages.push_back(page);
        }
    }
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    std::vector<int> order;
    order.reserve(pages.size() * std::size_t(copies));
    if (printer.collateCopies()) {
        for (int copy = 0; copy < copies; ++copy) {
            order.insert(order.end(), pages.begin(), pages.end());
        }
    } else {
        for (int page : pages) {
            order.insert(order.end(), std::size_t(copies), page);
        }
    }
    return order;
}

int CGridPrinter::PrintedPageCount(QPrinter& printer) const {
    return int(PrintOrder(printer, PageCount(printer)).size());
}

bool CGridPrinter::Print(QPrinter& printer, const Progress& progress) const {
    const Layout layout = PlanPages(printer);
    const std::vector<int> order = PrintOrder(printer, layout.PageCount());
    QPainter dc;
    if (!dc.begin(&printer)) {
        return false;
    }
    dc.setFont(PrinterFont());
    const int bandsAcross = int(layout.ColumnBands.size());
    for (std::size_t done = 0; done < order.size(); ++done) {
        if (progress && !progress(int(done), int(order.size()))) {
            printer.abort();
            dc.end();
            return false;
        }
        if (done > 0 && !printer.newPage()) {
            dc.end();
            return false;
        }
        // Pages run across the column bands first, then down the row bands.
        const int page = order[done];
        const Band& rows = layout.RowBands[std::size_t((page - 1) / bandsAcross)];
        const Band& cols = layout.ColumnBands[std::size_t((page - 1) % bandsAcross)];
        PrintHeader(dc, layout);
        PrintPage(dc, layout, rows, cols);
        PrintFooter(dc, layout, page);
    }
    if (progress) {
        progress(int(order.size()), int(order.size()));
    }
    return dc.end();
}

void CGridPrinter::PrintPage(QPainter& dc, const Layout& layout, const Band& rows, const Band& cols) const {
    // Positions of the printed rows and columns: fixed ones first, then the band.
    std::vector<std::pair<int, int>> rowSpans;
    std::vector<std::pair<int, int>> colSpans;
    long long y = 0;
    const auto addRow = [&](int row) {
        rowSpans.emplace_back(row, layout.HeaderHeight + Scaled(y, layout.Scale));
        y += m_Grid.GetRowHeight(row);
    };
    long long x = 0;
    const auto addCol = [&](int col) {
        colSpans.emplace_back(col, Scaled(x, layout.Scale));
        x += m_Grid.GetColumnWidth(col);
    };
    for (int row = 0; row < m_Grid.GetFixedRowCount(); ++row) {
        addRow(row);
    }
    for (int row = rows.first; row <= rows.second; ++row) {
        addRow(row);
    }
    for (int col = 0; col < m_Grid.GetFixedColumnCount(); ++col) {
        addCol(col);
    }
    for (int col = cols.first; col <= cols.second; ++col) {
        addCol(col);
    }
    const int bottom = layout.HeaderHeight + Scaled(y, layout.Scale);
    const int right = Scaled(x, layout.Scale);

    for (const auto& [row, top] : rowSpans) {
        const int height = Scaled(m_Grid.GetRowHeight(row), layout.Scale);
        for (const auto& [col, left] : colSpans) {
            const int width = Scaled(m_Grid.GetColumnWidth(col), layout.Scale);
            if (CGridCellBase* cell = m_Grid.GetCell(row, col)) {
                cell->PrintCell(&dc, row, col, QRect(left, top, width, height));
            }
        }
    }
    const int lines = m_Grid.GetGridLines();
    if (lines == GVL_NONE || rowSpans.empty() || colSpans.empty()) {
        return;
    }
    dc.save();
    dc.setPen(QPen(Qt::black, 0));
    if (lines == GVL_BOTH || lines == GVL_HORZ) {
        dc.drawLine(0, layout.HeaderHeight, right, layout.HeaderHeight);
        for (const auto& [row, top] : rowSpans) {
            const int lineY = top + Scaled(m_Grid.GetRowHeight(row), layout.Scale);
            dc.drawLine(0, lineY, right, lineY);
        }
    }
    if (lines == GVL_BOTH || lines == GVL_VERT) {
        dc.drawLine(0, layout.HeaderHeight, 0, bottom);
        for (const auto& [col, left] : colSpans) {
            const int lineX = left + Scaled(m_Grid.GetColumnWidth(col), layout.Scale);
            dc.drawLine(lineX, layout.HeaderHeight, lineX, bottom);
        }
    }
    dc.restore();
}

void CGridPrinter::PrintHeader(QPainter& dc, const Layout& layout) const {
    dc.save();
    dc.setPen(Qt::black);
    const QRect line(layout.Page.left(), layout.Page.top(), layout.Page.width(), layout.LineHeight);
    dc.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_Grid.PrintTitle());
    const int ruleY = layout.Page.top() + layout.LineHeight + layout.LineHeight / 2;
    dc.drawLine(layout.Page.left(), ruleY, layout.Page.right(), ruleY);
    dc.restore();
}

void CGridPrinter::PrintFooter(QPainter& dc, const Layout& layout, int page) const {
    dc.save();
    dc.setPen(Qt::black);
    const int ruleY = layout.Page.bottom() - layout.FooterHeight + layout.LineHeight / 2;
    dc.drawLine(layout.Page.left(), ruleY, layout.Page.right(), ruleY);
    const QRect line(layout.Page.left(), layout.Page.bottom() - layout.LineHeight, layout.Page.width(),
                     layout.LineHeight);
    dc.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                QString::asprintf("Page %d of %d", page, layout.PageCount()));
    dc.drawText(line, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, DateTimeText());
    dc.restore();
}
