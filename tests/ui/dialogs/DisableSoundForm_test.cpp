// The sound-off dialog: its texts, its two answers, and how it finds the main window's option.
#include "core/MonitorServices.h"
#include "ui/dialogs/DisableSoundForm.h"

#include "core/AlertFlags.h"
#include "core/LangTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class DisableSoundFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        SoundMuted = false;
        Form.SoundAlarmBox = &Box;
        Form.SaveSettings = [this] {
            Saves.push_back(Box.isChecked());
        };
        Box.setChecked(true);
    }
    void TearDown() override { SoundMuted = false; }

    // Shows the dialog modally and presses one of its buttons from inside the loop.
    void ExecAndPress(QPushButton* button) {
        bool wasVisible = false;
        QTimer::singleShot(0, [&] {
            wasVisible = Form.isVisible() && QApplication::activeModalWidget() == &Form;
            button->click();
        });
        Form.exec();
        EXPECT_TRUE(wasVisible);
        EXPECT_FALSE(Form.isVisible());
    }

    TMonitorServices Services{MonitorDatabase, QString()};
    TSoundDisableForm Form{Services};
    QCheckBox Box;
    std::vector<bool> Saves;
};

} // namespace

TEST_F(DisableSoundFormTest, TextsAndButtons) {
    EXPECT_EQ(Form.Label1->text(), QStringLiteral("You wish: "));
    EXPECT_EQ(Form.Label2->text(), QStringLiteral("Disable sound until:"));
    EXPECT_EQ(Form.BitBtn1->text(), QStringLiteral("program restart"));
    EXPECT_EQ(Form.BitBtn2->text(), QStringLiteral("manually turn it on"));
    EXPECT_TRUE(Form.isModal());
    EXPECT_EQ(Form.findChildren<QPushButton*>().size(), 2);
}

TEST_F(DisableSoundFormTest, ProgramRestartOnlyCloses) {
    SoundMuted = true;
    ExecAndPress(Form.BitBtn1);
    EXPECT_TRUE(Box.isChecked());
    EXPECT_TRUE(Saves.empty());
    EXPECT_TRUE(SoundMuted);
}

TEST_F(DisableSoundFormTest, ManuallyTurnItOnSetsTheOptionToTheSoundStateThenSaves) {
    SoundMuted = true;
    int handlerRuns = 0;
    QObject::connect(&Box, &QCheckBox::toggled, [&] { ++handlerRuns; });
    ExecAndPress(Form.BitBtn2);
    EXPECT_FALSE(Box.isChecked());
    EXPECT_EQ(handlerRuns, 1);                  // the option's handler ran
    EXPECT_EQ(Saves, std::vector<bool>{false}); // saved after the box changed

    SoundMuted = false;
    ExecAndPress(Form.BitBtn2);
    EXPECT_TRUE(Box.isChecked());
    EXPECT_EQ(Saves, (std::vector<bool>{false, true}));
}

TEST_F(DisableSoundFormTest, WithoutTheMainWindowsHooksTheButtonStillCloses) {
    TSoundDisableForm bare(Services);
    EXPECT_EQ(bare.SoundAlarmBox, nullptr);
    bool pressed = false;
    QTimer::singleShot(0, [&] {
        pressed = true;
        bare.BitBtn2->click();
    });
    bare.exec();
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(bare.isVisible());
}

TEST_F(DisableSoundFormTest, LooksWhole) {
    Form.Label2->setText(LangText(344));
    Form.show();
    QApplication::processEvents();
    const QImage shot = Form.grab().toImage();
    if (const char* dir = std::getenv("ZT_SCREENSHOTS")) {
        shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/DisableSoundForm.png"));
    }
    // Every text fits: the labels and buttons are not cut.
    for (QLabel* label : {Form.Label1, Form.Label2}) {
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    for (QPushButton* button : {Form.BitBtn1, Form.BitBtn2}) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        EXPECT_TRUE(Form.rect().contains(button->geometry()));
    }
    EXPECT_LT(Form.Label1->geometry().right(), Form.Label2->geometry().left());
    EXPECT_LT(Form.Label1->geometry().bottom(), Form.BitBtn1->geometry().top());
    Form.hide();
}
