// The main window's sound controls on plain widgets and a recording channel: the handlers,
// the sound-off dialog's two answers, the file chooser, and the looks of "Mute" and panel 1.
#include "core/MonitorServices.h"
#include "ui/main/SoundControls.h"

#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/LangTexts.h"
#include "grid/GxGrid.h"
#include "tests/core/RecordingAudioChannel.h"
#include "ui/dialogs/DisableSoundForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

struct TPanel {
    QString Text;
    bool Red = false;
};

// What the dialog showed, then the button that answered it (nullptr leaves it to the test).
struct TDialogSeen {
    bool Shown = false;
    bool Modal = false;
    QString Label1, Label2;
};

class SoundControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        SoundMuted = false;
        SetDataFolder(QStringLiteral("/opt/zt/Data"));
        CreateSoundQueueColumns(Grid);
        Timer.setInterval(1000);
        Box.setChecked(true);
        Edit.setText(QStringLiteral("magic-wand-1.mp3"));
        Dialog = std::make_unique<TSoundDisableForm>(Services);
        SoundDisableForm = Dialog.get();
        Dialog->SoundAlarmBox = &Box;
        Dialog->SaveSettings = [this] {
            SavedWithBox.push_back(Box.isChecked());
        };
        TSoundControlParts parts;
        parts.BitBtn3 = &Mute;
        parts.BitBtn6 = &Off;
        parts.CheckBox_soundalarm = &Box;
        parts.Up_Sound_Edit = &Edit;
        parts.Play_sound_button = &Play;
        parts.Browse_BitBtn = &Browse;
        parts.SetStatusPanel = [this](TStatusPanel panel, const QString& text, int colour) {
            Panels[int(panel)] = {text, colour == PanelColourRed};
        };
        parts.SaveSettings = [this] {
            SavedWithBox.push_back(Box.isChecked());
        };
        Controls = std::make_unique<TSoundControls>(parts, Grid, Timer, Channel);
        Controls->SetSoundOffDialog(Dialog.get());
    }
    void TearDown() override {
        Controls.reset();
        SoundDisableForm = nullptr;
        SoundMuted = false;
        SetDataFolder(QString());
    }

    // Answers the sound-off dialog from inside its modal loop with one of its buttons.
    void AnswerDialogWith(QPushButton* TSoundDisableForm::*button) {
        QTimer::singleShot(0, [this, button] {
            auto* shown = qobject_cast<TSoundDisableForm*>(QApplication::activeModalWidget());
            ASSERT_NE(shown, nullptr);
            Seen.Shown = true;
            Seen.Modal = shown->isModal();
            Seen.Label1 = shown->Label1->text();
            Seen.Label2 = shown->Label2->text();
            (shown->*button)->click();
        });
    }
    void Queue3() {
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
            const int r = Grid.AddRow();
            Grid.Cell(SoundFileColumn, r).SetAsString(QString::fromLatin1(name));
        }
        Timer.start();
        Controls->sound_timerTimer();
        Channel.Calls.clear();
    }
    void ExpectMutedLook() {
        EXPECT_EQ(Mute.text(), LangText(341));
        EXPECT_EQ(Mute.icon().cacheKey(), Controls->Image3.cacheKey());
        EXPECT_EQ(Panels[1].Text, LangText(322));
        EXPECT_TRUE(Panels[1].Red);
    }
    void ExpectSoundsOnLook() {
        EXPECT_EQ(Mute.text(), LangText(342));
        EXPECT_EQ(Mute.icon().cacheKey(), Controls->Image4.cacheKey());
        EXPECT_EQ(Panels[1].Text, LangText(323));
        EXPECT_FALSE(Panels[1].Red);
    }

    TDataGrid Grid;
    QTimer Timer;
    TRecordingAudioChannel Channel;
    QPushButton Mute, Off, Play, Browse;
    QCheckBox Box;
    QLineEdit Edit;
    TMonitorServices Services{MonitorDatabase, QString()};
    std::unique_ptr<TSoundDisableForm> Dialog;
    std::unique_ptr<TSoundControls> Controls;
    std::map<int, TPanel> Panels;
    std::vector<bool> SavedWithBox;
    TDialogSeen Seen;
};

} // namespace

TEST_F(SoundControlsTest, SoundOffStopsEmptiesAndSwitchesTheTimerOff) {
    Queue3();
    Off.click();
    EXPECT_EQ(Channel.Calls, QStringList{"stop"});
    EXPECT_FALSE(Timer.isActive());
    EXPECT_EQ(Grid.RowCount(), 0);
    EXPECT_FALSE(SoundMuted); // only the queue ends
}

TEST_F(SoundControlsTest, MuteStopsShowsTheMutedLookAndTheDialogWithLine343) {
    Queue3();
    AnswerDialogWith(&TSoundDisableForm::BitBtn1);
    Mute.click();
    EXPECT_TRUE(SoundMuted);
    EXPECT_EQ(Channel.Calls, QStringList{"stop"});
    EXPECT_FALSE(Timer.isActive());
    EXPECT_EQ(Grid.RowCount(), 0);
    ExpectMutedLook();
    EXPECT_TRUE(Seen.Shown);
    EXPECT_TRUE(Seen.Modal);
    EXPECT_EQ(Seen.Label1, QStringLiteral("You wish: "));
    EXPECT_EQ(Seen.Label2, LangText(343));
    EXPECT_EQ(Seen.Label2, QStringLiteral("Disable sound until:"));
    // "program restart": the option and the settings are left alone.
    EXPECT_TRUE(Box.isChecked());
    EXPECT_TRUE(SavedWithBox.empty());
    EXPECT_FALSE(Dialog->isVisible());
}

TEST_F(SoundControlsTest, ManuallyTurnItOnWhileMutedClearsSoundAlertAndSaves) {
    AnswerDialogWith(&TSoundDisableForm::BitBtn2);
    Mute.click();
    EXPECT_TRUE(Seen.Shown);
    // The box now says sounds are off and the settings were saved with it so (line 30 "0").
    EXPECT_FALSE(Box.isChecked());
    EXPECT_EQ(SavedWithBox, std::vector<bool>{false});
    EXPECT_TRUE(SoundMuted);
    ExpectMutedLook();
    EXPECT_FALSE(Dialog->isVisible());

    // The next start reads the box unticked: it stays muted, with the muted look.
    SoundMuted = false;
    Panels.clear();
    Controls->ApplyStartupState();
    EXPECT_TRUE(SoundMuted);
    ExpectMutedLook();
}

TEST_F(SoundControlsTest, UnmuteWithSoundAlertOnShowsNoDialog) {
    AnswerDialogWith(&TSoundDisableForm::BitBtn1);
    Mute.click();
    ASSERT_TRUE(SoundMuted);
    Seen = {};
    Mute.click();
    QApplication::processEvents(); // a dialog answer left pending would show here
    EXPECT_FALSE(SoundMuted);
    EXPECT_FALSE(Seen.Shown);
    ExpectSoundsOnLook();
}

TEST_F(SoundControlsTest, UnmuteWithSoundAlertOffAsksWithLine344) {
    Box.setChecked(false); // runs the handler: muted
    ASSERT_TRUE(SoundMuted);
    AnswerDialogWith(&TSoundDisableForm::BitBtn2);
    Mute.click();
    EXPECT_TRUE(Seen.Shown);
    EXPECT_EQ(Seen.Label2, LangText(344));
    EXPECT_EQ(Seen.Label2, QStringLiteral("Enable sound until:"));
    // "manually turn it on": the box follows, sounds stay on across restarts.
    EXPECT_TRUE(Box.isChecked());
    EXPECT_EQ(SavedWithBox, std::vector<bool>{true});
    EXPECT_FALSE(SoundMuted);
    ExpectSoundsOnLook();
    Controls->ApplyStartupState();
    EXPECT_FALSE(SoundMuted);
}

TEST_F(SoundControlsTest, UnmuteWithSoundAlertOffAndProgramRestartLeavesTheOption) {
    Box.setChecked(false);
    AnswerDialogWith(&TSoundDisableForm::BitBtn1);
    Mute.click();
    EXPECT_EQ(Seen.Label2, LangText(344));
    EXPECT_FALSE(SoundMuted); // on until the program starts again
    EXPECT_FALSE(Box.isChecked());
    EXPECT_TRUE(SavedWithBox.empty());
    ExpectSoundsOnLook();
}

TEST_F(SoundControlsTest, SoundAlertOptionMutesAndUnmutesWithoutADialog) {
    Queue3();
    Box.click();
    EXPECT_FALSE(Box.isChecked());
    EXPECT_TRUE(SoundMuted);
    EXPECT_EQ(Channel.Calls, QStringList{"stop"});
    EXPECT_FALSE(Timer.isActive());
    EXPECT_EQ(Grid.RowCount(), 0);
    ExpectMutedLook();
    Box.click();
    EXPECT_FALSE(SoundMuted);
    ExpectSoundsOnLook();
    EXPECT_FALSE(Seen.Shown);
}

TEST_F(SoundControlsTest, PreviewPlaysTheUpSoundAndASecondPressStops) {
    Play.click();
    EXPECT_EQ(Channel.Calls,
              (QStringList{"create /opt/zt/Data/Sounds/magic-wand-1.mp3", "loop off", "play"}));
    Channel.Calls.clear();
    Play.click();
    EXPECT_EQ(Channel.Calls, QStringList{"stop"});
    Channel.Calls.clear();
    Edit.setText(QStringLiteral("/home/op/bell.wav"));
    Play.click();
    EXPECT_EQ(Channel.Calls, (QStringList{"create /home/op/bell.wav", "loop off", "play"}));
    Channel.Playing = false; // ended by itself: the next press plays again
    Channel.Calls.clear();
    Play.click();
    EXPECT_EQ(Channel.Calls, (QStringList{"create /home/op/bell.wav", "loop off", "play"}));
}

TEST_F(SoundControlsTest, BrowseStartsInDataSoundsAndSavesEitherWay) {
    QString folder, filter;
    Controls->OpenSoundDialog = [&](const QString& f, const QString& flt) {
        folder = f;
        filter = flt;
        return QStringLiteral("/home/op/sounds/bell.wav");
    };
    Browse.click();
    EXPECT_EQ(folder, QStringLiteral("/opt/zt/Data/Sounds"));
    EXPECT_EQ(filter, QStringLiteral("All (*.wav *.mp3);;Wav (*.wav);;Mp3 (*.mp3)"));
    EXPECT_EQ(Edit.text(), QStringLiteral("/home/op/sounds/bell.wav"));
    EXPECT_EQ(SavedWithBox.size(), 1u);

    Controls->OpenSoundDialog = [](const QString&, const QString&) {
        return QString();
    };
    Browse.click();
    EXPECT_EQ(Edit.text(), QStringLiteral("/home/op/sounds/bell.wav")); // cancelled: unchanged
    EXPECT_EQ(SavedWithBox.size(), 2u);
}

TEST_F(SoundControlsTest, WithoutTheDialogWindowMuteStillMutes) {
    Controls->SetSoundOffDialog(nullptr);
    Mute.click();
    EXPECT_TRUE(SoundMuted);
    ExpectMutedLook();
}

TEST_F(SoundControlsTest, PicturesAreTheVolumeIconsOfTheStyle) {
    ASSERT_FALSE(Controls->Image3.isNull());
    ASSERT_FALSE(Controls->Image4.isNull());
    const QImage muted = Controls->Image3.pixmap(16, 16).toImage();
    const QImage on = Controls->Image4.pixmap(16, 16).toImage();
    EXPECT_NE(muted, on);
}
