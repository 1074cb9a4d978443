#include "app/window/EventManagerWindow.h"

#include "app/core/AppSettings.h"
#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "app/window/AboutBox.h"
#include "app/window/DialogUnits.h"
#include "app/window/LastRunDialog.h"
#include "grid/GridColours.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QUrl>

#include <algorithm>

namespace {

QString FromText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), int(text.size()));
}

std::string ToText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// "description|pattern|...||" as the classic dialogs take it, as Qt's "description (pattern)".
QString QtFilter(const std::string& filter) {
    QStringList parts = FromText(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        filters << QStringLiteral("%1 (%2)").arg(
            parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

// A thin two-dimensional border, as flat buttons have.
const char* const FlatButtonStyle =
    "QPushButton { border: 1px solid palette(shadow); background: palette(button); padding: 1px 4px; }"
    "QPushButton:pressed { background: palette(mid); }"
    "QPushButton:disabled { color: palette(mid); border-color: palette(mid); }"
    "QPushButton:default { border: 2px solid palette(shadow); }"
    "QPushButton:focus { outline: 1px dotted palette(text); }";

} // namespace

// The icon lives in a static library: its resources must be pulled in by name.
static void InitialiseResources() {
    Q_INIT_RESOURCE(window);
}

EventManagerWindow::EventManagerWindow(QWidget* parent) : QDialog(parent), m_Units(font()) {
    InitialiseResources();
    setWindowTitle(QStringLiteral("q.rix Windows Application Eventmanager"));
    setWindowIcon(QIcon(QStringLiteral(":/eventmanager.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    m_Logic = std::make_unique<EventManagerDialog>(*this, *this);
    SetUpToolTable();
    ConnectHandlers();
}

EventManagerWindow::~EventManagerWindow() = default;

void EventManagerWindow::CreateControls() {
    for (QPushButton* button : {&m_ActivateButton, &m_BrowseButton, &m_DeactivateButton,
                                &m_DeleteMessagesButton, &m_RereadButton}) {
        button->setStyleSheet(QString::fromLatin1(FlatButtonStyle));
        button->setAutoDefault(false);
    }
    struct Placement {
        QWidget* Widget;
        int Id;
        int X, Y, Width, Height;
    };
    // In tab order, as the dialog lays them out.
    const Placement placements[] = {
        {&m_ActivateButton, IDC_ACTIVATE_OBSERVATION, 36, 289, 151, 14},
        {&m_PathEdit, IDC_CONFIGURATION_PATH, 85, 11, 280, 15},
        {&m_PathLabel, 0, 9, 11, 71, 15},
        {&m_BrowseButton, IDC_BROWSE_CONFIGURATION, 368, 11, 23, 15},
        {&m_ConfigurationBox, IDC_USE_CONFIGURATION, 85, 31, 280, 179},
        {&m_ConfigurationLabel, 0, 9, 30, 71, 15},
        {&m_SimulationBox, IDC_USE_SIMULATION, 267, 51, 120, 14},
        {&m_Grid, IDC_TOOL_TABLE, 12, 80, 375, 203},
        {&m_DeactivateButton, IDC_DEACTIVATE_OBSERVATION, 218, 289, 146, 14},
        {&m_StartOnOpenBox, IDC_START_ON_OPEN, 9, 51, 120, 14},
        {&m_MinimizeOnStartBox, IDC_MINIMIZE_ON_START, 138, 51, 120, 14},
        {&m_ParameterGroup, 0, 4, 1, 392, 69},
        {&m_DeleteMessagesButton, IDC_DELETE_MESSAGES, 281, 381, 115, 15},
        {&m_MessageList, IDC_MESSAGE_LIST, 4, 311, 392, 64},
        {&m_RereadButton, IDC_REREAD_CONFIGURATION, 4, 381, 115, 15},
    };
    // Where a text would not fit its control in this font (its letters may be
    // wider than their average says), the horizontal unit is widened to fit.
    const DialogUnits plain(font());
    double widthScale = 1.0;
    for (const auto& p : placements) {
        int needed = 0;
        if (qobject_cast<QCheckBox*>(p.Widget) != nullptr)
            needed = p.Widget->sizeHint().width();
        else if (auto* button = qobject_cast<QPushButton*>(p.Widget))
            needed = fontMetrics().horizontalAdvance(button->text()) + 12;
        else if (auto* label = qobject_cast<QLabel*>(p.Widget))
            needed = fontMetrics().horizontalAdvance(label->text()) + 2;
        widthScale = std::max(widthScale, double(needed) / std::max(1, plain.X(p.Width)));
    }
    m_Units = DialogUnits(font(), widthScale);
    const DialogUnits& units = m_Units;
    setFixedSize(units.X(400), units.Y(401));

    QWidget* previous = nullptr;
    for (const auto& p : placements) {
        QRect rect = units.Rect(p.X, p.Y, p.Width, p.Height);
        // A drop-down list's height is that of its open list; closed it is one line high.
        if (p.Widget == &m_ConfigurationBox)
            rect.setHeight(units.Y(15));
        p.Widget->setGeometry(rect);
        if (p.Id != 0) {
            m_ControlsById[p.Id] = p.Widget;
            p.Widget->setObjectName(QStringLiteral("IDC_%1").arg(p.Id));
            p.Widget->setProperty("controlId", p.Id);
            if (previous != nullptr)
                setTabOrder(previous, p.Widget);
            previous = p.Widget;
        }
    }
    // The frame stays behind the controls it frames.
    m_ParameterGroup.lower();
    m_PathLabel.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_ConfigurationLabel.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_PathEdit.setReadOnly(true);
    m_ConfigurationBox.setMaxVisibleItems(
        qMax(1, (units.Y(179) - units.Y(15)) / qMax(1, fontMetrics().height() + 2)));
    m_MessageList.setSelectionMode(QAbstractItemView::SingleSelection);
    m_MessageList.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_MessageList.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_MessageList.setUniformItemSizes(true);
    m_ActivateButton.setDefault(true);
    m_Grid.setFocusPolicy(Qt::StrongFocus);

    // Names for screen readers where a control shows no text of its own.
    m_PathLabel.setBuddy(&m_PathEdit);
    m_ConfigurationLabel.setBuddy(&m_ConfigurationBox);
    m_PathEdit.setAccessibleName(m_PathLabel.text());
    m_ConfigurationBox.setAccessibleName(m_ConfigurationLabel.text());
    m_BrowseButton.setAccessibleName(QStringLiteral("Choose configuration file"));
    m_Grid.setAccessibleName(QStringLiteral("Tool table"));
    m_Grid.setAccessibleDescription(QStringLiteral("The 16 tool slots: number, calls, command line"));
    m_MessageList.setAccessibleName(QStringLiteral("Messages"));
}

void EventManagerWindow::SetUpToolTable() {
    m_Grid.ClearGrid();
    m_Grid.SetRowCount(ToolSlotCount + 1);
    m_Grid.SetColumnCount(3);
    const COLORREF buttonFace = SystemColour(COLOR_BTNFACE);
    m_Grid.SetGridBackColour(buttonFace);
    for (auto [fixedRow, fixedCol] :
         {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
        CGridDefaultCell* cell = m_Grid.GetDefaultCell(fixedRow, fixedCol);
        cell->SetBackColour(buttonFace);
        cell->SetTextColour(SystemColour(COLOR_BTNTEXT));
    }
    m_Grid.ClearSelection();
    m_Grid.SetSelectionEnabled(true);
    m_Grid.ClearSelection();
    m_Grid.SetSingleRowSelection(true);
    m_Grid.SetSingleColSelection(false);
    m_Grid.SetEditable(false);
    m_Grid.SetListMode(true);
    m_Grid.SetHeaderSort(false);
    m_Grid.SetRowResize(false);
    m_Grid.SetColumnResize(false);
    m_Grid.SetFixedRowCount(1);
    m_Grid.SetFixedColumnCount(1);
    const int gridWidth = m_Grid.width();
    m_Grid.SetColumnWidth(0, ColumnWidthFromPercent(gridWidth, 5));
    m_Grid.SetColumnWidth(1, ColumnWidthFromPercent(gridWidth, 10));
    m_Grid.SetColumnWidth(2, ColumnWidthFromPercent(gridWidth, 80));
    // The rows share the control's height, so that all of them are in view at any font and display
    // scale while the control keeps its place in the dialog.
    m_Grid.ensurePolished();
    const int rowHeight = std::max(1, m_Grid.contentsRect().height() / m_Grid.GetRowCount());
    for (int row = 0; row < m_Grid.GetRowCount(); ++row)
        m_Grid.SetRowHeight(row, rowHeight);
    m_Grid.SetRedraw(true, true);

    const std::pair<unsigned, unsigned> headers[] = {
        {IDS_COLUMN_NUMBER, DT_CENTER}, {IDS_COLUMN_CALLS, DT_CENTER}, {IDS_COLUMN_TOOL, DT_LEFT}};
    for (int col = 0; col < 3; ++col) {
        GridItem item;
        item.Row = 0;
        item.Col = col;
        item.Mask = GVIF_TEXT | GVIF_FORMAT;
        item.Text = LoadString(headers[col].first);
        item.Format = headers[col].second | ToolCellLine;
        m_Grid.SetItem(item);
    }
    for (int row = 1; row <= ToolSlotCount; ++row) {
        GridItem item;
        item.Row = row;
        item.Col = 0;
        item.Mask = GVIF_TEXT | GVIF_FORMAT;
        item.Text = std::to_string(row);
        item.Format = DT_CENTER | ToolCellLine;
        m_Grid.SetItem(item);
    }
}

void EventManagerWindow::ConnectHandlers() {
    EventManagerDialog* logic = m_Logic.get();
    connect(&m_BrowseButton, &QPushButton::clicked, this, [logic] { logic->OnBrowseConfiguration(); });
    connect(&m_ConfigurationBox, &QComboBox::activated, this,
            [logic](int) { logic->OnConfigurationChosen(); });
    connect(&m_ActivateButton, &QPushButton::clicked, this, [logic] { logic->OnActivateButton(); });
    connect(&m_DeactivateButton, &QPushButton::clicked, this, [logic] { logic->OnDeactivateButton(); });
    connect(&m_StartOnOpenBox, &QCheckBox::clicked, this, [logic] { logic->OnStartOnOpenClicked(); });
    connect(&m_MinimizeOnStartBox, &QCheckBox::clicked, this, [logic] { logic->OnMinimizeOnStartClicked(); });
    connect(&m_SimulationBox, &QCheckBox::clicked, this, [logic] { logic->OnSimulationClicked(); });
    connect(&m_DeleteMessagesButton, &QPushButton::clicked, this, [logic] { logic->OnDeleteMessages(); });
    connect(&m_RereadButton, &QPushButton::clicked, this, [logic] { logic->OnRereadConfiguration(); });
    connect(&m_HelpShortcut, &QShortcut::activated, this, &EventManagerWindow::OnHelp);
    connect(&m_Grid, &CGridCtrl::ContextMenuOpening, this, &EventManagerWindow::AddToolEntries);
}

void EventManagerWindow::AddToolEntries(QMenu* menu, int row, int col) {
    if (row < m_Grid.GetFixedRowCount() || row > ToolSlotCount || col < m_Grid.GetFixedColumnCount())
        return;
    const int bit = row - 1;
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Last run…"), this, [this, bit] { ShowLastRun(bit); });
    const std::string path = m_Logic->OutputFilePath(bit);
    QAction* open =
        menu->addAction(QStringLiteral("&Open output file"), this, [this, bit] { OpenOutputFile(bit); });
    open->setEnabled(!path.empty() && QFileInfo(FromText(path)).isFile());
}

void EventManagerWindow::ShowLastRun(int bit) {
    if (m_Closed)
        return;
    if (m_LastRunBox != nullptr)
        m_LastRunBox->close();
    auto* box = new LastRunDialog(bit, m_Logic->LastRun(bit), m_Logic->OutputFilePath(bit), this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_LastRunBox = box;
    // Modal to the window without a loop of its own: observation and a stop request go on as usual.
    box->open();
}

void EventManagerWindow::OpenOutputFile(int bit) {
    const std::string path = m_Logic->OutputFilePath(bit);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(FromText(path))))
        ::AddMessage("**** The output file " + path + " could not be opened.");
}

void EventManagerWindow::Open() {
    show();
    m_Logic->OnInitDialog();
}

QWidget* EventManagerWindow::Control(int id) const {
    const auto it = m_ControlsById.find(id);
    return it == m_ControlsById.end() ? nullptr : it->second;
}

void EventManagerWindow::SetEditText(int id, const std::string& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) {
        edit->setText(FromText(text));
        edit->setCursorPosition(0);
    }
}

void EventManagerWindow::ResetComboBox() {
    m_ConfigurationBox.clear();
}

int EventManagerWindow::InsertComboItem(int index, const std::string& text) {
    if (index < 0 || index > m_ConfigurationBox.count())
        return -1;
    m_ConfigurationBox.insertItem(index, FromText(text));
    return index;
}

void EventManagerWindow::SetComboItemData(int index, std::int64_t data) {
    m_ConfigurationBox.setItemData(index, QVariant::fromValue<qlonglong>(data));
}

std::int64_t EventManagerWindow::ComboItemData(int index) const {
    return m_ConfigurationBox.itemData(index).toLongLong();
}

int EventManagerWindow::ComboItemCount() const {
    return m_ConfigurationBox.count();
}

int EventManagerWindow::ComboCurrentSelection() const {
    return m_ConfigurationBox.currentIndex();
}

void EventManagerWindow::SetComboCurrentSelection(int index) {
    m_ConfigurationBox.setCurrentIndex(index);
}

void EventManagerWindow::SetCheck(int id, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(Control(id)))
        box->setChecked(checked);
}

bool EventManagerWindow::IsChecked(int id) const {
    const auto* box = qobject_cast<const QCheckBox*>(Control(id));
    return box != nullptr && box->isChecked();
}

void EventManagerWindow::EnableControl(int id, bool enabled) {
    if (QWidget* widget = Control(id))
        widget->setEnabled(enabled);
}

void EventManagerWindow::ShowControl(int id, bool shown) {
    if (QWidget* widget = Control(id))
        widget->setVisible(shown);
}

int EventManagerWindow::AppendMessageLine(const std::string& text) {
    m_MessageList.addItem(FromText(text));
    return m_MessageList.count() - 1;
}

void EventManagerWindow::RemoveMessageLine(int index) {
    delete m_MessageList.takeItem(index);
}

void EventManagerWindow::SelectMessageLine(int index) {
    m_MessageList.setCurrentRow(index);
    m_MessageList.scrollToItem(m_MessageList.item(index));
}

void EventManagerWindow::ClearMessageLines() {
    m_MessageList.clear();
}

void EventManagerWindow::Minimize() {
    showMinimized();
}

std::optional<std::string> EventManagerWindow::ChooseOpenFile(const OpenFileRequest& request) {
    QFileDialog dialog(nullptr, QString(), FromText(request.InitialDirectory), QtFilter(request.Filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    QString extension = FromText(request.DefaultExtension);
    if (extension.startsWith(QLatin1Char('.')))
        extension.remove(0, 1);
    dialog.setDefaultSuffix(extension);
    if (!request.InitialFileName.empty() && request.InitialFileName.find('*') == std::string::npos)
        dialog.selectFile(FromText(request.InitialFileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ToText(dialog.selectedFiles().first());
}

void EventManagerWindow::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void EventManagerWindow::EndWaitCursor() {
    QApplication::restoreOverrideCursor();
}

void EventManagerWindow::PostMessageDelivery() {
    // Any thread: a queued call never waits for this window's thread.
    QMetaObject::invokeMethod(
        this, [this] { m_Logic->DeliverPendingMessages(); }, Qt::QueuedConnection);
}

void EventManagerWindow::PostCallCountRefresh() {
    QMetaObject::invokeMethod(
        this, [this] { m_Logic->ApplyCallCounts(); }, Qt::QueuedConnection);
}

bool EventManagerWindow::SetItem(const GridItem& item) {
    return m_Grid.SetItem(item);
}

bool EventManagerWindow::SetItemBackColour(int row, int col, COLORREF colour) {
    // The table marks a tool that cannot be started in red: say so to those who do not see the colour.
    constexpr COLORREF NotFoundColour = Rgb(255, 0, 0);
    const QString description = colour == NotFoundColour ? QStringLiteral("red: tool not found") : QString();
    m_Grid.SetItemAccessibleDescription(row, col, description);
    return m_Grid.SetItemBackColour(row, col, colour);
}

bool EventManagerWindow::SetItemTextColour(int row, int col, COLORREF colour) {
    return m_Grid.SetItemTextColour(row, col, colour);
}

void EventManagerWindow::Invalidate() {
    m_Grid.Refresh();
}

void EventManagerWindow::accept() {
    if (m_Closed)
        return;
    m_Closed = true;
    m_Logic->OnOK();
    QDialog::accept();
}

void EventManagerWindow::reject() {
    if (m_Closed)
        return;
    m_Closed = true;
    m_Logic->OnCancel();
    QDialog::reject();
}

void EventManagerWindow::Stop() {
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog != this && dialog->isVisible())
            dialog->reject();
    }
    reject();
}

void EventManagerWindow::ShowAboutBox() {
    AboutBox box(this);
    box.exec();
}

void EventManagerWindow::OnHelp() {
    const std::string path = ReplaceExtension(SettingsFilePath(), ".html");
    if (FileExists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(FromText(path))))
        return;
    ShowSystemMessage(this, IDS_HELP_FILE_MISSING, path, MB_ICONHAND, true);
}

void EventManagerWindow::keyPressEvent(QKeyEvent* event) {
    // Enter clicks the default button while it can be clicked; otherwise it closes
    // the window as OK does, where a plain dialog would swallow the key.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (m_ActivateButton.isVisible() && m_ActivateButton.isEnabled())
        m_ActivateButton.click();
    else
        accept();
}

void EventManagerWindow::contextMenuEvent(QContextMenuEvent* event) {
    const std::string about = LoadString(IDS_ABOUTBOX);
    if (about.empty())
        return;
    QMenu menu(this);
    menu.addAction(FromText(about), this, &EventManagerWindow::ShowAboutBox);
    menu.exec(event->globalPos());
}
