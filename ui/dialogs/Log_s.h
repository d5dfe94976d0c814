// The per-host event log viewer.
#pragma once

#include "core/WindowRoles.h"
#include <QDialog>
#include <QString>
#include <memory>

class QGroupBox;
class QPushButton;
class TDataGrid;
class TGxGridView;
class TMonitorServices;

class TLogs : public QDialog, public ILogsDialog {
    Q_OBJECT

public:
    explicit TLogs(TMonitorServices& Services, QWidget* parent = nullptr);
    ~TLogs() override;
    void ExecHostLogs(const QString& HostId) override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // Loads the events of the host whose Kod_ is HostId, newest first; "Clear" then works on it.
    void ShowOnlyHost(const QString& HostId);
    QString ShownHost() const { return FHostId; }

    // "OK": closes.
    void BitBtn1Click();
    // "Clear": the shown host's events go from the grid and the database, and its Log cell in the
    // host table is emptied.
    void BitBtn2Click();

    TDataGrid& Logs_grid() { return *FGrid; }
    QGroupBox* GroupBox1 = nullptr;
    TGxGridView* Logs_gridView = nullptr;
    QPushButton* BitBtn1 = nullptr; // OK
    QPushButton* BitBtn2 = nullptr; // Clear

private:
    std::unique_ptr<TDataGrid> FGrid;
    TMonitorServices* FServices; // set by the constructor, never null
    QString FHostId;
};

extern TLogs* Logs;
