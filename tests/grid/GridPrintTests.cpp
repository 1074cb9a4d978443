#include "tests/grid/GridTestSupport.h"

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString PdfText(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

TEST(GridPrinting, PagesSplitRowsAndColumnsAndRepeatTheHeader) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    CGridCtrl wide(11, 30, 1, 1);
    for (int col = 0; col < 30; ++col)
        wide.SetColumnWidth(col, 200);
    EXPECT_GT(wide.PrintPageCount(printer), 1);
    EXPECT_EQ(CGridCtrl(11, 2, 1, 1).PrintPageCount(printer), 1);

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    CGridCtrl grid(201, 3, 1, 1);
    grid.setWindowTitle(QStringLiteral("Tool table"));
    grid.SetItemText(0, 1, "Calls");
    grid.SetItemText(0, 2, "Tool");
    for (int row = 1; row <= 200; ++row) {
        grid.SetItemText(row, 0, std::to_string(row));
        grid.SetItemText(row, 2, "R" + std::to_string(1000 + row));
    }
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString pdf = folder.filePath(QStringLiteral("grid.pdf"));
    printer.setOutputFileName(pdf);
    const int expected = grid.PrintPageCount(printer);
    ASSERT_GT(expected, 1);
    ASSERT_TRUE(grid.Print(printer));

    const QString text = PdfText(pdf);
    ASSERT_FALSE(text.isEmpty());
    QStringList pages = text.split(QLatin1Char('\f'));
    while (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
        pages.removeLast();
    }
    ASSERT_EQ(pages.size(), expected);
    for (int page = 0; page < pages.size(); ++page) {
        SCOPED_TRACE(page + 1);
        EXPECT_TRUE(pages[page].contains(QStringLiteral("Page %1 of %2").arg(page + 1).arg(expected)));
        // Header and fixed row on every page.
        EXPECT_TRUE(pages[page].contains(QStringLiteral("Tool table")));
        EXPECT_TRUE(pages[page].contains(QStringLiteral("Calls")));
    }
    // Every row is printed once: none lost at a page break, none repeated.
    for (int row = 1; row <= 200; ++row) {
        const QString label = QStringLiteral("R%1").arg(1000 + row);
        EXPECT_EQ(text.count(label), 1) << label.toStdString();
    }
}
