// The host types dialog: the type list with its pictures, and LoadHostTypes, which spreads the
// list to every combo that offers a type.
#pragma once

#include "core/WindowRoles.h"
#include <QDialog>
#include <QImage>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TDataGrid;
class TGxGridView;
class TGxImageList;
class TMonitorServices;

class TTypes_form : public QDialog, public IHostTypesDialog {
    Q_OBJECT

public:
    explicit TTypes_form(TMonitorServices& Services, QWidget* parent = nullptr);
    ~TTypes_form() override;
    int ExecHostTypes() override { return exec(); }

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // Reads t_config.cnfg and the pictures, and fills the host dialog's and the add-many dialog's
    // type combos and the main window's type filter ("All" last, selected).
    void LoadHostTypes();

    // The buttons.
    void Add_Click();
    void Edit_bClick();
    void Delete_bClick();
    void OKClick();

    // The main window's type filter (TForm1.ComboBox1), set by the main window.
    static void SetMainTypeCombo(QComboBox* Combo);

    // A picture file as the list keeps it: 100 x 85; a null image when the file is no picture.
    static QImage LoadTypePicture(const QString& FileName);
    // What stands for a type whose picture is missing, so later types keep their index.
    static QImage PlaceholderPicture();

    QStringList TypeNames() const;
    // Where the list lives (Data/Types unless a test chose another).
    QString TypesFolder;

    QGroupBox* GroupBox1 = nullptr; // "Edit/Add types of hosts"
    TDataGrid* DataGrid1 = nullptr;
    TGxGridView* DataGrid1View = nullptr;
    TGxImageList* ImageList1 = nullptr;
    QLabel* Image1 = nullptr; // never shown
    QPushButton* Add_ = nullptr;
    QPushButton* Edit_b = nullptr;
    QPushButton* Delete_b = nullptr;
    QPushButton* BitBtn1 = nullptr; // "OK"

private:
    void Report(const QString& Failure);

    TMonitorServices* FServices; // set by the constructor, never null
};

extern TTypes_form* Types_form;
