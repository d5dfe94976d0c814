// The about box.
#pragma once

#include "core/WindowRoles.h"
#include <QDialog>
#include <QUrl>

class QGroupBox;
class QLabel;
class QPushButton;
class TMonitorServices;

class TAbout_f : public QDialog, public IAboutBox {
    Q_OBJECT

public:
    explicit TAbout_f(TMonitorServices& Services, QWidget* parent = nullptr);
    void ExecAbout() override { exec(); }

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // The product page the picture opens.
    static QUrl ProductPage();
    // A click on the picture: the product page in the default browser.
    void Image1Click();
    // "OK": closes.
    void BitBtn1Click();

    QGroupBox* GroupBox1 = nullptr; // frames the picture and the program's name
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* BitBtn1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

extern TAbout_f* About_f;
