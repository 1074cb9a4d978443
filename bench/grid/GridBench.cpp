// Figures for a grid of 100,000 rows by 10 columns, with a QTableWidget of the same content as the
// yardstick: creating the rows, memory per cell, one full repaint of the visible area, 100 scroll steps.

#include "grid/GridCtrl.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTableWidget>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Rows = 100'000;
constexpr int Columns = 10;
constexpr int Repaints = 200;
constexpr int ScrollSteps = 100;
const QSize WindowSize(1000, 700);

// Wall time and this thread's processor time: the machine is shared, so wall time alone says
// more about the neighbours than about the code.
class Stopwatch {
public:
    Stopwatch() {
        m_Wall.start();
        m_Cpu = CpuNow();
    }
    double WallMs() const { return double(m_Wall.nsecsElapsed()) / 1e6; }
    double CpuMs() const { return (CpuNow() - m_Cpu) / 1e6; }

private:
    static double CpuNow() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
    }
    QElapsedTimer m_Wall;
    double m_Cpu = 0;
};

struct Figures {
    double CreateMs = 0;
    double CreateCpuMs = 0;
    double BytesPerCellEmpty = 0;
    double BytesPerCellFilled = 0;
    double RepaintP50 = 0;
    double RepaintP99 = 0;
    double RepaintCpuP50 = 0;
    double RepaintCpuP99 = 0;
    double ScrollTotalMs = 0;
    double ScrollCpuMs = 0;
};

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

double Percentile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    const std::size_t index = std::min(samples.size() - 1, std::size_t(fraction * double(samples.size())));
    return samples[index];
}

std::string CellText(int row, int col) {
    return "r" + std::to_string(row) + " c" + std::to_string(col);
}

// Renders the scroll area's client area the way a paint of the whole window would.
void Repaint(QWidget* viewport, QImage& image) {
    viewport->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
}

void MeasureRepaints(QWidget* viewport, Figures& figures) {
    QImage image(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    Repaint(viewport, image);
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < Repaints; ++run) {
        const Stopwatch watch;
        Repaint(viewport, image);
        wall.push_back(watch.WallMs());
        cpu.push_back(watch.CpuMs());
    }
    figures.RepaintP50 = Percentile(wall, 0.50);
    figures.RepaintP99 = Percentile(wall, 0.99);
    figures.RepaintCpuP50 = Percentile(cpu, 0.50);
    figures.RepaintCpuP99 = Percentile(cpu, 0.99);
}

void MeasureScrolling(QWidget* viewport, const std::function<void()>& step, Figures& figures) {
    QImage image(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    const Stopwatch watch;
    for (int run = 0; run < ScrollSteps; ++run) {
        step();
        Repaint(viewport, image);
    }
    figures.ScrollTotalMs = watch.WallMs();
    figures.ScrollCpuMs = watch.CpuMs();
}

Figures MeasureGrid() {
    Figures figures;
    CGridCtrl grid;
    grid.resize(WindowSize);
    grid.show();
    grid.SetColumnCount(Columns);
    const std::size_t before = HeapInUse();
    const Stopwatch watch;
    grid.SetRowCount(Rows);
    figures.CreateMs = watch.WallMs();
    figures.CreateCpuMs = watch.CpuMs();
    figures.BytesPerCellEmpty = double(HeapInUse() - before) / (double(Rows) * Columns);
    grid.SetFixedRowCount(1);
    grid.SetFixedColumnCount(1);
    for (int row = 0; row < Rows; ++row) {
        for (int col = 0; col < Columns; ++col) {
            grid.SetItemText(row, col, CellText(row, col));
        }
    }
    figures.BytesPerCellFilled = double(HeapInUse() - before) / (double(Rows) * Columns);
    QApplication::processEvents();
    MeasureRepaints(grid.viewport(), figures);
    MeasureScrolling(
        grid.viewport(),
        [&] { grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }, figures);
    return figures;
}

Figures MeasureTable() {
    Figures figures;
    QTableWidget table;
    table.resize(WindowSize);
    table.show();
    table.setColumnCount(Columns);
    const std::size_t before = HeapInUse();
    const Stopwatch watch;
    table.setRowCount(Rows);
    figures.CreateMs = watch.WallMs();
    figures.CreateCpuMs = watch.CpuMs();
    figures.BytesPerCellEmpty = double(HeapInUse() - before) / (double(Rows) * Columns);
    for (int row = 0; row < Rows; ++row) {
        for (int col = 0; col < Columns; ++col) {
            auto item = std::make_unique<QTableWidgetItem>(QString::fromStdString(CellText(row, col)));
            table.setItem(row, col, item.release()); // the table owns its items
        }
    }
    figures.BytesPerCellFilled = double(HeapInUse() - before) / (double(Rows) * Columns);
    QApplication::processEvents();
    MeasureRepaints(table.viewport(), figures);
    MeasureScrolling(
        table.viewport(),
        [&] { table.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }, figures);
    return figures;
}

void PrintRow(const char* name, double grid, double table, const char* unit) {
    std::printf("%-34s %12.2f %12.2f %-6s %8.2f\n", name, grid, table, unit, table > 0 ? grid / table : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const Figures grid = MeasureGrid();
    const Figures table = MeasureTable();
    std::printf("grid of %d rows x %d columns, window %dx%d, %d repaints, %d scroll steps\n", Rows, Columns,
                WindowSize.width(), WindowSize.height(), Repaints, ScrollSteps);
    std::printf("%-34s %12s %12s %-6s %8s\n", "figure", "CGridCtrl", "QTableWidget", "unit", "ratio");
    PrintRow("SetRowCount(100000) wall", grid.CreateMs, table.CreateMs, "ms");
    PrintRow("SetRowCount(100000) cpu", grid.CreateCpuMs, table.CreateCpuMs, "ms");
    PrintRow("memory per cell, rows created", grid.BytesPerCellEmpty, table.BytesPerCellEmpty, "bytes");
    PrintRow("memory per cell, texts set", grid.BytesPerCellFilled, table.BytesPerCellFilled, "bytes");
    PrintRow("full repaint wall p50", grid.RepaintP50, table.RepaintP50, "ms");
    PrintRow("full repaint wall p99", grid.RepaintP99, table.RepaintP99, "ms");
    PrintRow("full repaint cpu p50", grid.RepaintCpuP50, table.RepaintCpuP50, "ms");
    PrintRow("full repaint cpu p99", grid.RepaintCpuP99, table.RepaintCpuP99, "ms");
    PrintRow("100 scroll steps with repaint wall", grid.ScrollTotalMs, table.ScrollTotalMs, "ms");
    PrintRow("100 scroll steps with repaint cpu", grid.ScrollCpuMs, table.ScrollCpuMs, "ms");
    std::printf("repaint goal <= 5 ms: cpu p50 %s, wall p50 %s\n",
                grid.RepaintCpuP50 <= 5.0 ? "met" : "missed", grid.RepaintP50 <= 5.0 ? "met" : "missed");
    return 0;
}
