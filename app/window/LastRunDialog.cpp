#include "app/window/LastRunDialog.h"

#include "platform/FileContent.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QString FromText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

QString KiB(std::size_t bytes) {
    return QStringLiteral("%1 KiB").arg((bytes + 1023) / 1024);
}

} // namespace

LastRunDialog::LastRunDialog(int bit, const std::optional<RunRecord>& run, const std::string& outputPath,
                             QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Last run of tool %1").arg(bit + 1));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_Outcome);
    m_Fields = new QFormLayout;
    layout->addLayout(m_Fields);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(&m_OutputHeading);
    layout->addWidget(&m_Output, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_Outcome.setTextFormat(Qt::PlainText);
    m_Outcome.setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_Outcome.setWordWrap(true);
    m_OutputHeading.setTextFormat(Qt::PlainText);
    m_OutputHeading.setWordWrap(true);
    m_Output.setReadOnly(true);
    m_Output.setLineWrapMode(QPlainTextEdit::NoWrap);
    m_Output.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_Output.setAccessibleName(QStringLiteral("Output"));
    // Room for a typical line of output and a screenful of it.
    const QFontMetrics fixed(m_Output.font());
    resize(fixed.horizontalAdvance(QLatin1Char('x')) * 100, fixed.height() * 32);

    ShowRecord(run);
    ShowOutput(outputPath);
    buttons->button(QDialogButtonBox::Close)->setFocus();
}

void LastRunDialog::ShowRecord(const std::optional<RunRecord>& run) {
    if (!run) {
        m_Outcome.setText(QStringLiteral("No run of this tool since the program started."));
        return;
    }
    const RunRecord& record = *run;
    QFont bold = m_Outcome.font();
    bold.setBold(true);
    m_Outcome.setFont(bold);
    m_Outcome.setText(FromText(RunLine(record)));
    const std::pair<QString, QString> fields[] = {
        {QStringLiteral("Command line:"), FromText(ShownCommandLine(record.Arguments))},
        {QStringLiteral("Process:"),
         record.ProcessId > 0 ? QString::number(record.ProcessId) : QStringLiteral("none")},
        {QStringLiteral("Started:"), FromText(LocalTimeText(record.StartMilliseconds))},
        {QStringLiteral("Ended:"), FromText(LocalTimeText(record.EndMilliseconds))},
        {QStringLiteral("Duration:"),
         QStringLiteral("%1 s").arg(double(record.DurationMicroseconds) / 1e6, 0, 'f', 6)},
        {QStringLiteral("Configuration:"), QString::number(record.UniqueID)},
    };
    for (const auto& [name, value] : fields) {
        auto* shown = new QLabel(value, this);
        shown->setTextFormat(Qt::PlainText);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        shown->setWordWrap(true);
        m_Fields->addRow(name, shown);
        m_RecordLines << name + QLatin1Char(' ') + value;
    }
}

QString LastRunDialog::RecordText() const {
    QStringList lines{m_Outcome.text()};
    lines << m_RecordLines;
    return lines.join(QLatin1Char('\n'));
}

void LastRunDialog::ShowOutput(const std::string& path) {
    if (path.empty()) {
        m_OutputHeading.setText(QStringLiteral("The tools' output is not kept."));
        return;
    }
    const QString shownPath = FromText(path);
    // A path that is not there is no fault: the tool has written nothing yet. Anything
    // else that cannot be read (a folder, a device, a file beyond the limit) is said.
    if (!QFileInfo::exists(shownPath) && !QFileInfo(shownPath).isSymLink()) {
        m_OutputHeading.setText(QStringLiteral("No output file yet: %1").arg(shownPath));
        return;
    }
    std::string content;
    if (!ReadFileContent(path, ReadLimit, content)) {
        m_OutputHeading.setText(
            QStringLiteral("The output file %1 cannot be shown: it is not a readable file of at most %2.")
                .arg(shownPath, KiB(ReadLimit)));
        return;
    }
    std::size_t from = 0;
    if (content.size() > ShownTail) {
        from = content.size() - ShownTail;
        // Begin with a whole line where there is one.
        const std::size_t lineEnd = content.find('\n', from);
        if (lineEnd != std::string::npos && lineEnd + 1 < content.size())
            from = lineEnd + 1;
        m_OutputHeading.setText(QStringLiteral("Output, the newest %1 of %2: %3")
                                    .arg(KiB(content.size() - from), KiB(content.size()), shownPath));
    } else {
        m_OutputHeading.setText(QStringLiteral("Output: %1").arg(shownPath));
    }
    QString text = QString::fromLocal8Bit(content.data() + from, qsizetype(content.size() - from));
    // Tools write any bytes; a NUL would end the text in some views.
    text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    m_Output.setPlainText(text);
    m_Output.moveCursor(QTextCursor::End);
}
