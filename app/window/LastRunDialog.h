#pragma once

#include "events/RunRecord.h"

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <string>

class QFormLayout;

// What the newest run of one tool did and the end of its output file; read-only.
class LastRunDialog : public QDialog {
    Q_OBJECT
public:
    // The output file is read up to this size; a larger one is not shown.
    static constexpr std::size_t ReadLimit = 1024 * 1024;
    // The newest part of the output that is shown.
    static constexpr std::size_t ShownTail = 64 * 1024;

    // `outputPath` empty: the tools' output is not kept.
    LastRunDialog(int bit, const std::optional<RunRecord>& run, const std::string& outputPath,
                  QWidget* parent = nullptr);

    // The record as shown (its outcome, then a "name: value" line each), and the output.
    QString RecordText() const;
    QString OutputText() const { return m_Output.toPlainText(); }
    QString OutputHeading() const { return m_OutputHeading.text(); }

private:
    void ShowRecord(const std::optional<RunRecord>& run);
    void ShowOutput(const std::string& path);

    QLabel m_Outcome{this};
    QFormLayout* m_Fields = nullptr; // owned by the dialog's layout
    QStringList m_RecordLines;
    QLabel m_OutputHeading{this};
    QPlainTextEdit m_Output{this};
};
