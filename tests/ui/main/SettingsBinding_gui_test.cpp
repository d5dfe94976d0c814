// Option controls bound to the settings model: range and value from the model, the operator's
// changes into it (clamped), the model's changes back into the controls; and the main window's
// options, status panels and Start/Stop button as the services see them.
#include "core/DataFolder.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "desktop/StatusBarEx.h"
#include "tests/support/TestSupport.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/SettingsBinding.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(SettingsBinding, ControlsShowTheModelAndWriteIntoIt) {
    TSettingsModel model;
    model.Update([](TSettings& s) {
        s.ploss_spin = 7;
        s.Up_Sound_Edit = QStringLiteral("bell.wav");
        s.Email_checkbox = true;
    });
    QSpinBox spin;
    QCheckBox check;
    QLineEdit edit;
    BindSpinBox(spin, model, &TSettings::ploss_spin);
    BindCheckBox(check, model, &TSettings::Email_checkbox);
    BindLineEdit(edit, model, &TSettings::Up_Sound_Edit);
    EXPECT_EQ(spin.minimum(), 2);
    EXPECT_EQ(spin.maximum(), 10000);
    EXPECT_EQ(spin.value(), 7);
    EXPECT_TRUE(check.isChecked());
    EXPECT_EQ(edit.text(), "bell.wav");

    spin.setValue(12);
    check.setChecked(false);
    edit.setText(QStringLiteral("Сигнал \"up\".wav"));
    EXPECT_EQ(model.Snapshot()->ploss_spin, 12);
    EXPECT_FALSE(model.Snapshot()->Email_checkbox);
    EXPECT_EQ(model.Snapshot()->Up_Sound_Edit, "Сигнал \"up\".wav");

    // A change from elsewhere (the settings file) shows in the controls, clamped to the range.
    model.Update([](TSettings& s) {
        s.ploss_spin = 1;
        s.Email_checkbox = true;
        s.Up_Sound_Edit = QStringLiteral("x.wav");
    });
    EXPECT_EQ(spin.value(), 2);
    EXPECT_TRUE(check.isChecked());
    EXPECT_EQ(edit.text(), "x.wav");
}

TEST(SettingsBinding, AControlThatGoesFirstLeavesTheModelWorking) {
    TSettingsModel model;
    {
        QSpinBox spin;
        BindSpinBox(spin, model, &TSettings::Timeout_Spin);
    }
    EXPECT_TRUE(model.Update([](TSettings& s) { s.Timeout_Spin = 500; }));
}

class MainWindowServices : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(Data.path()));
        ResetShutdownRequest();
        MonitoringActive = false;
        CreateForms();
        ASSERT_NE(Form1, nullptr);
    }
    void TearDown() override {
        DestroyForms();
        MonitorDatabase.Close();
        SetDataFolder(QString());
        SetProgramLogSink(nullptr);
        ResetShutdownRequest();
    }
    zt::test::TempDir Data;
};

TEST_F(MainWindowServices, OptionControlsAreTheServicesSettings) {
    TMonitorServices& services = Form1->Services();
    EXPECT_EQ(Form1->DataGrid1, &services.DataGrid1());
    EXPECT_EQ(Form1->Sound_down_grid, &services.Sound_down_grid());
    EXPECT_EQ(Form1->OptionsPage().Timeout_Spin->value(), 2000);
    EXPECT_EQ(Form1->OptionsPage().Delay_spin->minimum(), 1);
    EXPECT_TRUE(Form1->OptionsPage().Alert_CheckBox->isChecked());
    Form1->OptionsPage().Timeout_Spin->setValue(750);
    EXPECT_EQ(services.Settings().Snapshot()->Timeout_Spin, 750);
    EXPECT_EQ(services.Controller().Settings()->Timeout_Spin, 750);
    services.Settings().Update([](TSettings& s) { s.ICQ_CheckBox = true; });
    EXPECT_TRUE(Form1->OptionsPage().ICQ_CheckBox->isChecked());
}

TEST_F(MainWindowServices, StatusPanelsByNameAndTheStartStopButton) {
    TMonitorServices& services = Form1->Services();
    services.Channels().StatusPanels().SetPanelText(TStatusPanel::MonitoringState, "off", PanelColourRed);
    EXPECT_EQ(Form1->StatusPanel(TStatusPanel::MonitoringState), "off");
    auto* bar = Form1->findChild<TStatusBarPro*>(QStringLiteral("StatusBar1"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Panels()[int(TStatusPanel::MonitoringState)].Text(), "off");
    EXPECT_EQ(bar->Panels()[int(TStatusPanel::MonitoringState)].FontColor(), clRed);
    services.Channels().StatusPanels().SetPanelText(TStatusPanel::MonitoringState, "on");
    EXPECT_EQ(bar->Panels()[int(TStatusPanel::MonitoringState)].FontColor(), clBlack);
    emit services.Controller().StartStopEnabledChanged(false);
    EXPECT_FALSE(Form1->BitBtn7->isEnabled());
    emit services.Controller().StartStopEnabledChanged(true);
    EXPECT_TRUE(Form1->BitBtn7->isEnabled());
    // The popups registered themselves as the dispatcher's popup channel.
    EXPECT_FALSE(services.Channels().Popups().DownPopupShown());
    // Eleven shown columns and the hidden Kod_.
    EXPECT_EQ(services.Channels().Popups().DownPopupGrid().ColumnCount(), 12);
}

TEST_F(MainWindowServices, TheWindowShowsItsOptionsUncut) {
    Form1->resize(640, 360);
    Form1->show();
    QApplication::processEvents();
    const QImage shot = Form1->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    // ZT_KEEP_SHOTS=<folder> keeps the picture for a look.
    if (const char* keep = std::getenv("ZT_KEEP_SHOTS")) {
        shot.save(QString::fromLatin1(keep) + QStringLiteral("/main_window.png"));
    }
    // Every option control sits inside the window.
    for (QWidget* w :
         std::initializer_list<QWidget*>{Form1->OptionsPage().ploss_spin, Form1->OptionsPage().Timeout_Spin,
                                         Form1->OptionsPage().ICQ_CheckBox}) {
        const QRect inWindow(w->mapTo(Form1, QPoint(0, 0)), w->size());
        EXPECT_TRUE(Form1->rect().contains(inWindow)) << w->objectName().toStdString();
    }
    Form1->hide();
}
