#pragma once

#include "app/logic/DialogControls.h"
#include "app/logic/EventManagerDialog.h"
#include "app/window/DialogUnits.h"
#include "config/ToolTable.h"
#include "grid/GridCtrl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>

#include <map>
#include <memory>

// The main window: the dialog's controls on Qt widgets and the tool table on the
// grid. Its behaviour is EventManagerDialog's; this class only shows it.
class EventManagerWindow : public QDialog, public DialogControls, public ToolTable {
    Q_OBJECT
public:
    explicit EventManagerWindow(QWidget* parent = nullptr);
    ~EventManagerWindow() override;

    // Shows the window and does what opening it does: settings, loading and the
    // start options.
    void Open();

    EventManagerDialog& Logic() { return *m_Logic; }
    CGridCtrl& Grid() { return m_Grid; }
    // The dialog units the window is laid out in.
    const DialogUnits& Units() const { return m_Units; }
    // The widget of a control id, or null.
    QWidget* Control(int id) const;

    // DialogControls
    bool HasWindow() const override { return true; }
    void SetEditText(int id, const std::string& text) override;
    void ResetComboBox() override;
    int InsertComboItem(int index, const std::string& text) override;
    void SetComboItemData(int index, std::int64_t data) override;
    std::int64_t ComboItemData(int index) const override;
    int ComboItemCount() const override;
    int ComboCurrentSelection() const override;
    void SetComboCurrentSelection(int index) override;
    void SetCheck(int id, bool checked) override;
    bool IsChecked(int id) const override;
    void EnableControl(int id, bool enabled) override;
    void ShowControl(int id, bool shown) override;
    int AppendMessageLine(const std::string& text) override;
    void RemoveMessageLine(int index) override;
    void SelectMessageLine(int index) override;
    void ClearMessageLines() override;
    void Minimize() override;
    std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void PostMessageDelivery() override;
    void PostCallCountRefresh() override;

    // ToolTable
    bool SetItem(const GridItem& item) override;
    bool SetItemBackColour(int row, int col, COLORREF colour) override;
    bool SetItemTextColour(int row, int col, COLORREF colour) override;
    void Invalidate() override;

    // True once OK or Cancel has closed the window.
    bool IsClosed() const { return m_Closed; }

    // The open "Last run" dialog, if any.
    QDialog* LastRunBox() const { return m_LastRunBox; }

public slots:
    void accept() override;
    void reject() override;
    // A stop request (SIGTERM, SIGINT): ends every dialog, box and menu of the
    // window, then closes it as Cancel does.
    void Stop();
    void ShowAboutBox();
    void OnHelp();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void SetUpToolTable();
    void ConnectHandlers();
    // The tool table's context menu on a tool's row: its last run and its output file.
    void AddToolEntries(QMenu* menu, int row, int col);
    void ShowLastRun(int bit);
    void OpenOutputFile(int bit);

    DialogUnits m_Units;
    QGroupBox m_ParameterGroup{QStringLiteral("Parameter"), this};
    QPushButton m_ActivateButton{QStringLiteral("Activate event observation"), this};
    QLineEdit m_PathEdit{this};
    QLabel m_PathLabel{QStringLiteral("Configuration file"), this};
    QPushButton m_BrowseButton{QStringLiteral("..."), this};
    QComboBox m_ConfigurationBox{this};
    QLabel m_ConfigurationLabel{QStringLiteral("Use configuration"), this};
    QCheckBox m_SimulationBox{QStringLiteral("Use simulation environment"), this};
    CGridCtrl m_Grid{0, 0, 0, 0, this};
    QPushButton m_DeactivateButton{QStringLiteral("Deactivate event observation"), this};
    QCheckBox m_StartOnOpenBox{QStringLiteral("Start when application is opened"), this};
    QCheckBox m_MinimizeOnStartBox{QStringLiteral("Minimize on start"), this};
    QPushButton m_DeleteMessagesButton{QStringLiteral("Delete messages"), this};
    QListWidget m_MessageList{this};
    QPushButton m_RereadButton{QStringLiteral("Repeate reading configuration"), this};
    QShortcut m_HelpShortcut{QKeySequence::HelpContents, this};

    std::map<int, QWidget*> m_ControlsById;
    std::unique_ptr<EventManagerDialog> m_Logic;
    QPointer<QDialog> m_LastRunBox;
    bool m_Closed = false;
};
