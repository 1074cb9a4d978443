#pragma once
// Prints a grid on pages: fixed rows and columns repeated on every page, a header with the window
// title and a footer with the page number and the date.

#include <QRect>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class CGridCtrl;
class QPainter;
class QPaintDevice;
class QPrinter;

class CGridPrinter {
public:
    // The text the average character width is measured on.
    static constexpr const char* AverageWidthSample = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXYZ";

    explicit CGridPrinter(CGridCtrl& grid) : m_Grid(grid) {}

    // Told (pages printed, pages to print) before each page; false cancels the job.
    using Progress = std::function<bool(int, int)>;

    int PageCount(QPrinter& printer) const;
    // The pages of the printer's page range (all without one), in its number of copies unless the
    // printer makes the copies itself. False when the printer fails or the job is cancelled.
    bool Print(QPrinter& printer, const Progress& progress = {}) const;
    // How many pages Print puts out.
    int PrintedPageCount(QPrinter& printer) const;

private:
    // First and last index (inclusive) of the rows or columns of one page.
    using Band = std::pair<int, int>;

    struct Layout {
        double Scale = 1.0;
        QRect Page;
        int LineHeight = 0;
        int HeaderHeight = 0;
        int FooterHeight = 0;
        std::vector<Band> RowBands;
        std::vector<Band> ColumnBands;

        int PageCount() const { return int(RowBands.size() * ColumnBands.size()); }
    };

    Layout PlanPages(QPrinter& printer) const;
    // The page numbers to put out, in order, copies included.
    static std::vector<int> PrintOrder(QPrinter& printer, int pageCount);
    std::vector<Band> SplitIntoBands(bool rows, double scale, int room) const;
    void PrintPage(QPainter& dc, const Layout& layout, const Band& rows, const Band& cols) const;
    void PrintHeader(QPainter& dc, const Layout& layout) const;
    void PrintFooter(QPainter& dc, const Layout& layout, int page) const;

    CGridCtrl& m_Grid;
};
