#include "tests/grid/GridTestSupport.h"

#include <QApplication>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// 200 rows: "R1001" to "R1200" in column 2, over several pages.
std::unique_ptr<CGridCtrl> PrintableGrid(int rows = 200) {
    auto grid = std::make_unique<CGridCtrl>(rows + 1, 3, 1, 1);
    grid->setWindowTitle(QStringLiteral("Tool table"));
    grid->SetItemText(0, 1, "Calls");
    grid->SetItemText(0, 2, "Tool");
    for (int row = 1; row <= rows; ++row) {
        grid->SetItemText(row, 0, std::to_string(row));
        grid->SetItemText(row, 2, "R" + std::to_string(1000 + row));
    }
    return grid;
}

QStringList PdfPages(const QString& text) {
    QStringList pages = text.split(QLatin1Char('\f'));
    while (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
        pages.removeLast();
    }
    return pages;
}

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
    auto grid = PrintableGrid();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString pdf = folder.filePath(QStringLiteral("grid.pdf"));
    printer.setOutputFileName(pdf);
    const int expected = grid->PrintPageCount(printer);
    ASSERT_GT(expected, 1);
    ASSERT_TRUE(grid->Print(printer));

    const QString text = PdfText(pdf);
    ASSERT_FALSE(text.isEmpty());
    const QStringList pages = PdfPages(text);
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

// The print dialog's choices: a page range and a number of copies (collated or not).
TEST(GridPrinting, PrintsThePagesAndCopiesAsked) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    auto grid = PrintableGrid();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const struct {
        const char* Name;
        int From, To, Copies;
        bool Collate;
        std::vector<int> Pages;
    } cases[] = {
        {"pages 2 to 3", 2, 3, 1, false, {2, 3}},
        {"page 1, two copies collated", 1, 1, 2, true, {1, 1}},
        {"pages 1 to 2, two copies", 1, 2, 2, true, {1, 2, 1, 2}},
        {"pages 1 to 2, two copies uncollated", 1, 2, 2, false, {1, 1, 2, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        const QString pdf = folder.filePath(QString::fromLatin1(c.Name) + QStringLiteral(".pdf"));
        printer.setOutputFileName(pdf);
        const int total = grid->PrintPageCount(printer);
        ASSERT_GE(total, 3);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(c.From, c.To);
        printer.setCopyCount(c.Copies);
        printer.setCollateCopies(c.Collate);
        ASSERT_TRUE(grid->Print(printer));
        const QStringList pages = PdfPages(PdfText(pdf));
        ASSERT_EQ(std::size_t(pages.size()), c.Pages.size());
        for (std::size_t i = 0; i < c.Pages.size(); ++i) {
            EXPECT_TRUE(pages[int(i)].contains(QStringLiteral("Page %1 of %2").arg(c.Pages[i]).arg(total)))
                << i;
        }
    }
}

// A long job shows its progress and can be cancelled from there.
TEST(GridPrinting, ALongJobCanBeCancelled) {
    auto grid = PrintableGrid(3000);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath(QStringLiteral("long.pdf")));
    ASSERT_GT(grid->PrintPageCount(printer), 20);
    int shown = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible()) {
                ++shown;
                progress->cancel();
            }
        }
    });
    EXPECT_FALSE(grid->Print(printer));
    EXPECT_EQ(shown, 1);
}
