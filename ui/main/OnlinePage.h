// The online monitoring page (TabSheet7, "Not Up:"): the hosts whose status is not OK, refreshed on
// a timer or on demand, the group tree's icons for groups with a down host, and the page's context
// menu, which acts on the chosen row's host by its id.
#pragma once

#include "core/DatabaseLoader.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class TDataGrid;
class TGxGridView;
class TSettingsModel;

class TOnlinePage : public QObject {
    Q_OBJECT

public:
    struct TParts {
        TDataGrid* Hosts = nullptr;                   // the host table DataGrid1
        std::function<const TGroupTree&()> GroupTree; // the nodes of TreeView1, in tree order
        QTreeWidget* TreeView1 = nullptr;             // items carry their node index (Qt::UserRole)
        std::function<void()> PopupMenu2Popup;        // the host menu's OnPopup
    };

    // Fills Page (TabSheet7).
    TOnlinePage(QWidget& Page, TParts Parts);
    ~TOnlinePage() override;

    // Binds the auto-update box and the seconds to the settings; both timers run from here on.
    void FormCreate(TSettingsModel& Settings);
    void TranslateCaptions();

    QGroupBox* GroupBox5 = nullptr; // "Not Up:"
    std::unique_ptr<TDataGrid> DownGrid;
    TGxGridView* DownGridView = nullptr;
    QCheckBox* AutoUpdate_CheckBox1 = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label19 = nullptr;       // "seconds"
    QPushButton* BitBtn35 = nullptr; // "Refresh now"
    QMenu* PopupMenu1 = nullptr;
    QAction* MenuItem1 = nullptr; // "Edit"
    QAction* MenuItem2 = nullptr;
    QAction* MenuItem3 = nullptr;
    QAction* MenuItem4 = nullptr;
    QAction* MenuItem5 = nullptr;
    QAction* MenuItem6 = nullptr;
    QAction* MenuItem7 = nullptr;
    QAction* MenuItem8 = nullptr;
    QTimer Timer7; // refresh
    QTimer Timer8; // follows the auto-update box

    // The chosen row's host (its Kod_): the menu and the double click act on it, and a refresh
    // finds its row again.
    QString DownGridRow;
    // Image index of each group node after the last refresh.
    const std::vector<int>& GroupImages() const { return FImages; }

    void Timer7Timer();
    void Timer8Timer();
    void DownGridSelectCell(int Col, int Row);
    void DownGridCellDblClick(int Col, int Row);
    void DownGridResize();
    void MenuItem1Click();
    void MenuItem2Click();
    void MenuItem3Click();
    void MenuItem4Click();
    void MenuItem5Click();
    void MenuItem6Click();
    void MenuItem7Click();
    void MenuItem8Click();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // The chosen host's cell of an online column, looked up by its id now.
    QString ChosenText(int Column) const;
    void ShowGroupImages();

    TParts FParts;
    QPointer<QWidget> FViewport;
    std::vector<int> FImages;
};
