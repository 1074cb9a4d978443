// A large grid to try by hand: 100,000 rows by 10 columns, a header row and a number column.

#include "grid/GridColours.h"
#include "grid/GridCtrl.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>

#include <memory>
#include <string>

namespace {

constexpr int RowCount = 100'000;
constexpr int ColumnCount = 10;

void FillGrid(CGridCtrl& grid) {
    grid.SetRedraw(false);
    grid.ClearGrid();
    grid.SetColumnCount(ColumnCount);
    grid.SetRowCount(RowCount + 1);
    grid.SetFixedRowCount(1);
    grid.SetFixedColumnCount(1);
    for (bool fixedRow : {true, false}) {
        for (bool fixedCol : {true, false}) {
            if (fixedRow || fixedCol) {
                grid.GetDefaultCell(fixedRow, fixedCol)->SetBackColour(SystemColour(COLOR_BTNFACE));
                grid.GetDefaultCell(fixedRow, fixedCol)->SetTextColour(SystemColour(COLOR_BTNTEXT));
            }
        }
    }
    GridItem header;
    header.Mask = GVIF_TEXT | GVIF_FORMAT;
    header.Format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
    header.Text = "#";
    grid.SetItem(header);
    for (int col = 1; col < ColumnCount; ++col) {
        header.Col = col;
        header.Text = "Column " + std::to_string(col);
        grid.SetItem(header);
    }
    grid.SetItemText(0, ColumnCount - 1, "A header whose text is wider than its column");
    for (int row = 1; row <= RowCount; ++row) {
        grid.SetItemText(row, 0, std::to_string(row));
        grid.SetItemFormat(row, 0, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        for (int col = 1; col < ColumnCount; ++col) {
            grid.SetItemText(row, col, "r" + std::to_string(row) + " c" + std::to_string(col));
        }
        if (row % 7 == 0) {
            grid.SetItemText(row, ColumnCount - 1,
                             "/opt/tools/a-rather-long-command-line --with many arguments");
        }
        if (row % 13 == 0) {
            grid.SetItemBackColour(row, 2, Rgb(255, 0, 0));
            grid.SetItemTextColour(row, 2, Rgb(255, 255, 255));
        }
    }
    grid.SetColumnWidth(0, 70);
    grid.SetColumnWidth(ColumnCount - 1, 220);
    grid.SetRedraw(true, true);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Grid demo"));
    auto grid = std::make_unique<CGridCtrl>();
    CGridCtrl* view = grid.get();
    FillGrid(*view);
    view->SetGridBackColour(SystemColour(COLOR_BTNFACE));
    window.setCentralWidget(grid.release());

    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    QObject::connect(file->addAction(QStringLiteral("Print to &PDF...")), &QAction::triggered, &window, [&] {
        const QString name =
            QFileDialog::getSaveFileName(&window, QStringLiteral("Print to PDF"), QStringLiteral("grid.pdf"),
                                         QStringLiteral("PDF (*.pdf)"));
        if (name.isEmpty()) {
            return;
        }
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(name);
        window.statusBar()->showMessage(view->Print(printer) ? QStringLiteral("Printed to ") + name
                                                             : QStringLiteral("Printing failed"));
    });
    QObject::connect(file->addAction(QStringLiteral("&Print...")), &QAction::triggered, view,
                     &CGridCtrl::OnFilePrint);
    QObject::connect(file->addAction(QStringLiteral("&Quit")), &QAction::triggered, &app,
                     &QApplication::quit);

    QMenu* options = window.menuBar()->addMenu(QStringLiteral("&Options"));
    const auto toggle = [&](const QString& text, bool initial, auto apply) {
        QAction* action = options->addAction(text);
        action->setCheckable(true);
        action->setChecked(initial);
        QObject::connect(action, &QAction::toggled, view, [view, apply](bool on) {
            apply(*view, on);
            view->Refresh();
        });
    };
    toggle(QStringLiteral("&List mode (whole rows)"), false,
           [](CGridCtrl& g, bool on) { g.SetListMode(on); });
    toggle(QStringLiteral("&Single row selection"), false,
           [](CGridCtrl& g, bool on) { g.SetSingleRowSelection(on); });
    toggle(QStringLiteral("&Editable"), true, [](CGridCtrl& g, bool on) { g.SetEditable(on); });
    toggle(QStringLiteral("&Resize columns and rows"), true, [](CGridCtrl& g, bool on) {
        g.SetColumnResize(on);
        g.SetRowResize(on);
    });
    toggle(QStringLiteral("&Grid lines"), true,
           [](CGridCtrl& g, bool on) { g.SetGridLines(on ? GVL_BOTH : GVL_NONE); });
    toggle(QStringLiteral("Sort on &header click"), false,
           [](CGridCtrl& g, bool on) { g.SetHeaderSort(on); });

    window.statusBar()->showMessage(
        QStringLiteral("100,000 rows x 10 columns: arrows, Page Up/Down, Ctrl+Home/End, "
                       "wheel, F2 or typing to edit, drag header borders"));
    window.resize(1000, 700);
    window.show();
    return QApplication::exec();
}
