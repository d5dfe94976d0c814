// The main window's sound looks in pixels: "Mute" with its picture and caption, status panel 1
// in red while muted and in black while sounds are on.
#include "core/AlertFlags.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxGrid.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/SoundControls.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct TInk {
    int Red = 0;   // clearly red pixels
    int Black = 0; // dark grey to black pixels
};

TInk InkOf(const QImage& image) {
    TInk ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 90 && c.blue() < 90) {
                ++ink.Red;
            } else if (c.red() < 90 && c.green() < 90 && c.blue() < 90) {
                ++ink.Black;
            }
        }
    }
    return ink;
}

void Save(const QImage& image, const char* name) {
    if (const char* dir = std::getenv("ZT_SCREENSHOTS")) {
        image.save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name));
    }
}

class SoundLooks : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        SoundMuted = false;
        Form.FormCreate();
        Form.resize(700, 420);
        // The page holding the sound buttons is the one shown.
        for (int i = 0; i < Form.PageControl1->count(); ++i) {
            if (Form.PageControl1->widget(i)->isAncestorOf(Form.BitBtn3)) {
                Form.PageControl1->setCurrentIndex(i);
            }
        }
        Form.show();
        QApplication::processEvents();
    }
    void TearDown() override { SoundMuted = false; }
    // What the bar paints of panel 1.
    QImage Panel1Shot() { return Form.StatusBar1->grab(Form.StatusBar1->PanelDrawRect(1)).toImage(); }
    TMonitorServices Services{MonitorDatabase, QString()};
    TForm1 Form{Services};
};

} // namespace

TEST_F(SoundLooks, SoundsOnAtStartThenMutedThenOnAgain) {
    ASSERT_NE(Form.StatusBar1, nullptr);
    // A new window: sounds on.
    EXPECT_EQ(Form.BitBtn3->text(), LangText(342));
    EXPECT_EQ(Form.StatusPanel(TStatusPanel::SoundState), QStringLiteral("Sound: on"));
    const QImage onPanel = Panel1Shot();
    EXPECT_EQ(InkOf(onPanel).Red, 0);
    EXPECT_GT(InkOf(onPanel).Black, 10);

    Form.OptionsPage().CheckBox_soundalarm->click(); // muted, without a dialog
    QApplication::processEvents();
    EXPECT_EQ(Form.BitBtn3->text(), QStringLiteral("Unmute"));
    EXPECT_EQ(Form.StatusPanel(TStatusPanel::SoundState), QStringLiteral("Sound: off"));
    const QImage mutedPanel = Panel1Shot();
    EXPECT_GT(InkOf(mutedPanel).Red, 10);
    EXPECT_EQ(InkOf(mutedPanel).Black, 0);
    const QImage mutedButton = Form.BitBtn3->grab().toImage();
    Save(Form.grab().toImage(), "MainWindowMuted.png");
    EXPECT_EQ(Form.BitBtn3->icon().cacheKey(), Form.SoundControls().Image3.cacheKey());

    Form.OptionsPage().CheckBox_soundalarm->click();
    QApplication::processEvents();
    EXPECT_EQ(Form.BitBtn3->text(), QStringLiteral("Mute"));
    const QImage backOn = Panel1Shot();
    EXPECT_EQ(InkOf(backOn).Red, 0);
    EXPECT_GT(InkOf(backOn).Black, 10);
    const QImage onButton = Form.BitBtn3->grab().toImage();
    Save(Form.grab().toImage(), "MainWindowSoundOn.png");
    EXPECT_EQ(Form.BitBtn3->icon().cacheKey(), Form.SoundControls().Image4.cacheKey());
    EXPECT_NE(mutedButton, onButton);
    // The caption fits beside the picture.
    EXPECT_GE(Form.BitBtn3->width(), Form.BitBtn3->sizeHint().width());
}

TEST_F(SoundLooks, ControlsAreThereUnderTheirNames) {
    for (const char* name : {"BitBtn3", "BitBtn6", "Play_sound_button", "Browse_BitBtn"}) {
        EXPECT_NE(Form.findChild<QPushButton*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_NE(Form.findChild<QCheckBox*>(QStringLiteral("CheckBox_soundalarm")), nullptr);
    EXPECT_TRUE(Form.OptionsPage().CheckBox_soundalarm->isChecked());
    EXPECT_EQ(Form.OptionsPage().Up_Sound_Edit->text(), QStringLiteral("magic-wand-1.mp3"));
    EXPECT_EQ(Form.BitBtn6->text(), QStringLiteral("Sound off"));
    ASSERT_NE(Form.sound_timer, nullptr);
    EXPECT_EQ(Form.sound_timer->interval(), 1000);
    EXPECT_FALSE(Form.sound_timer->isActive());
    EXPECT_EQ(Form.Sound_down_grid->ColumnCount(), 3);
}
