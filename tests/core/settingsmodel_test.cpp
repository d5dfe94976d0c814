// The settings model: the 49 lines' fields in line order, their defaults and ranges, clamping,
// change notification, snapshots that never change, and the GUI-thread-only writes.
#include "core/SettingsModel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

const TSettingsField& Line(int Number) {
    return SettingsFileLines().at(std::size_t(Number));
}

template <class T> bool Names(const TSettingsField& Field, T TSettings::*Member) {
    const auto* held = std::get_if<T TSettings::*>(&Field.Member);
    return held && *held == Member;
}

} // namespace

TEST(SettingsFields, OneEntryPerLineInFileOrder) {
    ASSERT_EQ(SettingsFileLines().size(), 49u);
    for (int i = 0; i < 49; ++i) {
        EXPECT_EQ(Line(i).Line, i);
    }
    EXPECT_TRUE(Names(Line(0), &TSettings::Delay_spin));
    EXPECT_TRUE(Names(Line(1), &TSettings::Timeout_Spin));
    EXPECT_TRUE(Names(Line(2), &TSettings::ploss_spin));
    EXPECT_TRUE(Names(Line(3), &TSettings::Alert_CheckBox));
    EXPECT_TRUE(Names(Line(5), &TSettings::Email_checkbox));
    for (int fixed : {6, 7, 8}) {
        EXPECT_TRUE(std::holds_alternative<std::monostate>(Line(fixed).Member));
        EXPECT_STREQ(Line(fixed).FixedText, "0");
    }
    EXPECT_TRUE(Names(Line(9), &TSettings::SysLog_CheckBox));
    EXPECT_TRUE(Names(Line(10), &TSettings::Up_sound_CheckBox));
    EXPECT_TRUE(Names(Line(11), &TSettings::Up_Sound_Edit));
    EXPECT_TRUE(Names(Line(12), &TSettings::HostRowCount));
    EXPECT_TRUE(Names(Line(15), &TSettings::Grid_Style_ComboBox));
    EXPECT_TRUE(Names(Line(16), &TSettings::CheckBox_Nomer));
    EXPECT_TRUE(Names(Line(20), &TSettings::CheckBox_host_type));
    EXPECT_TRUE(Names(Line(21), &TSettings::CheckBox_host_type2));
    EXPECT_TRUE(Names(Line(26), &TSettings::CheckBox_note));
    // Line 27 repeats line 20.
    EXPECT_TRUE(Names(Line(27), &TSettings::CheckBox_host_type));
    EXPECT_TRUE(Names(Line(28), &TSettings::GroupBox2_Width));
    EXPECT_TRUE(Names(Line(30), &TSettings::CheckBox_soundalarm));
    EXPECT_TRUE(Names(Line(31), &TSettings::IPN_1));
    EXPECT_TRUE(Names(Line(33), &TSettings::IPN_3));
    EXPECT_TRUE(Names(Line(34), &TSettings::StatusFilterWord));
    EXPECT_TRUE(Names(Line(36), &TSettings::ShowAllHosts));
    EXPECT_TRUE(Names(Line(38), &TSettings::SpinEdit1));
    EXPECT_TRUE(Names(Line(39), &TSettings::check_spin));
    EXPECT_TRUE(Names(Line(40), &TSettings::Edit_db));
    EXPECT_TRUE(Names(Line(41), &TSettings::Synchronize_db_Check));
    EXPECT_TRUE(Names(Line(42), &TSettings::ICQ_CheckBox));
    EXPECT_TRUE(Names(Line(45), &TSettings::Logs_clear_SpinEdit));
    EXPECT_TRUE(Names(Line(46), &TSettings::traff_m_data_SpinEdit));
    EXPECT_TRUE(Names(Line(47), &TSettings::Lang_ComboBox_Text));
    EXPECT_TRUE(Names(Line(48), &TSettings::Lang_ComboBox_Index));
    EXPECT_STREQ(Line(48).Name, "Lang_ComboBox");
    // Every member of the set is named by one of the tables.
    EXPECT_EQ(NotificationSettingsFields().size(), 4u);
    for (const TSettingsField& field : NotificationSettingsFields()) {
        EXPECT_EQ(field.Line, -1);
    }
    EXPECT_STREQ(SettingsFieldOf(&TSettings::ICQ_UIN_Edit).Name, "ICQ_UIN_Edit");
    EXPECT_THROW(SettingsFieldOf(std::monostate{}), std::invalid_argument);
}

TEST(SettingsFields, DefaultsAreTheControlsInitialValues) {
    const TSettings s;
    EXPECT_EQ(s.Delay_spin, 2);
    EXPECT_EQ(s.Timeout_Spin, 2000);
    EXPECT_EQ(s.ploss_spin, 10);
    EXPECT_TRUE(s.Alert_CheckBox);
    EXPECT_FALSE(s.Compact_t_CheckBox1);
    EXPECT_FALSE(s.Email_checkbox);
    EXPECT_FALSE(s.SysLog_CheckBox);
    EXPECT_TRUE(s.Up_sound_CheckBox);
    EXPECT_EQ(s.Up_Sound_Edit, "magic-wand-1.mp3");
    EXPECT_TRUE(s.CheckBox_start_with_system);
    EXPECT_TRUE(s.Grid_show_CheckBox);
    EXPECT_EQ(s.Grid_Style_ComboBox, 1);
    // The column boxes: number, ID, name, address, type, status, enabled and event count shown.
    EXPECT_TRUE(s.CheckBox_Nomer && s.CheckBox_ID && s.CheckBox_Host_Name && s.CheckBox_HostIP);
    EXPECT_TRUE(s.CheckBox_host_type2 && s.CheckBox_Status && s.CheckBox_Enabled && s.CheckBox_Tiks);
    EXPECT_FALSE(s.CheckBox_host_type || s.CheckBox_last_down || s.CheckBox_note || s.CheckBox_DownTime);
    EXPECT_EQ(s.GroupBox2_Width, 158);
    EXPECT_TRUE(s.CheckBox_soundalarm);
    EXPECT_EQ(s.IPN_1, 192);
    EXPECT_EQ(s.IPN_2, 168);
    EXPECT_EQ(s.IPN_3, 0);
    EXPECT_TRUE(s.AutoUpdate_CheckBox1);
    EXPECT_EQ(s.SpinEdit1, 30);
    EXPECT_EQ(s.check_spin, 3);
    EXPECT_TRUE(s.Edit_db.isEmpty());
    EXPECT_FALSE(s.Synchronize_db_Check);
    EXPECT_FALSE(s.ICQ_CheckBox);
    EXPECT_TRUE(s.Delete_logs_CheckBox1);
    EXPECT_TRUE(s.Delete_traff_mon_data_CheckBox);
    EXPECT_EQ(s.Logs_clear_SpinEdit, 5);
    EXPECT_EQ(s.traff_m_data_SpinEdit, 15);
    EXPECT_EQ(s.Lang_ComboBox_Text, "English");
    EXPECT_EQ(s.Lang_ComboBox_Index, 0);
    EXPECT_TRUE(s.CheckBox_send_if_down);
    EXPECT_TRUE(s.CheckBox_send_if_up);
    // Every default lies inside its range.
    EXPECT_EQ(ClampedSettings(s), s);
}

TEST(SettingsFields, RangesOfTheSpinBoxes) {
    auto range = [](int TSettings::*Member) {
        const TSettingsField& f = SettingsFieldOf(Member);
        return std::pair(f.Min, f.Max);
    };
    EXPECT_EQ(range(&TSettings::Delay_spin), std::pair(1, 10000));
    EXPECT_EQ(range(&TSettings::Timeout_Spin), std::pair(2, 10000));
    EXPECT_EQ(range(&TSettings::ploss_spin), std::pair(2, 10000));
    EXPECT_EQ(range(&TSettings::check_spin), std::pair(1, 10000));
    EXPECT_EQ(range(&TSettings::Logs_clear_SpinEdit), std::pair(1, 90));
    EXPECT_EQ(range(&TSettings::traff_m_data_SpinEdit), std::pair(1, 90));
    EXPECT_EQ(range(&TSettings::Grid_Style_ComboBox), std::pair(0, 2));
    EXPECT_EQ(range(&TSettings::IPN_1), std::pair(0, 255));
    TSettings s;
    s.ploss_spin = 1;
    s.Delay_spin = 0;
    s.Timeout_Spin = 20000;
    s.Logs_clear_SpinEdit = 91;
    s.IPN_2 = -4;
    const TSettings c = ClampedSettings(s);
    EXPECT_EQ(c.ploss_spin, 2);
    EXPECT_EQ(c.Delay_spin, 1);
    EXPECT_EQ(c.Timeout_Spin, 10000);
    EXPECT_EQ(c.Logs_clear_SpinEdit, 90);
    EXPECT_EQ(c.IPN_2, 0);
}

TEST(SettingsModel, ChangesAreClampedNotifiedOnceAndSwappedWhole) {
    TSettingsModel model;
    int changes = 0;
    QObject::connect(&model, &TSettingsModel::Changed, [&] { ++changes; });
    const TSettingsSnapshot before = model.Snapshot();
    EXPECT_TRUE(model.Update([](TSettings& s) {
        s.Timeout_Spin = 300;
        s.ploss_spin = 1;
    }));
    EXPECT_EQ(changes, 1);
    const TSettingsSnapshot after = model.Snapshot();
    EXPECT_EQ(after->Timeout_Spin, 300);
    EXPECT_EQ(after->ploss_spin, 2);
    // A reader's snapshot never changes under it.
    EXPECT_EQ(before->Timeout_Spin, 2000);
    EXPECT_EQ(before->ploss_spin, 10);
    // Nothing different: no notification, and the same snapshot stays.
    EXPECT_FALSE(model.Update([](TSettings& s) { s.ploss_spin = 0; }));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(model.Snapshot(), after);
    TSettings whole;
    whole.Up_Sound_Edit = QStringLiteral("bell.wav");
    EXPECT_TRUE(model.Replace(whole));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(*model.Snapshot(), whole);
}

TEST(SettingsModel, OnlyTheGuiThreadWrites) {
    TSettingsModel model;
    bool refused = false;
    std::thread worker([&] {
        try {
            model.Update([](TSettings& s) { s.Delay_spin = 9; });
        } catch (const std::logic_error&) {
            refused = true;
        }
    });
    worker.join();
    EXPECT_TRUE(refused);
    EXPECT_EQ(model.Snapshot()->Delay_spin, 2);
}

TEST(SettingsModel, ReadersOnOtherThreadsSeeOnlyWholeSets) {
    TSettingsModel model;
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const TSettingsSnapshot s = model.Snapshot();
                // Every write keeps the delay and the threshold one apart.
                if (s->ploss_spin != s->Delay_spin + 1 && !(s->Delay_spin == 2 && s->ploss_spin == 10)) {
                    ++torn;
                }
                ++reads;
            }
        });
    }
    // The readers are under way before the writes begin (bounded wait).
    for (int spin = 0; reads.load() < 3 && spin < 5000; ++spin) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const int readsBefore = reads.load();
    for (int i = 1; i <= 2000; ++i) {
        model.Update([i](TSettings& s) {
            s.Delay_spin = i;
            s.ploss_spin = i + 1;
        });
    }
    stop = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(readsBefore, 0);
    EXPECT_EQ(model.Snapshot()->Delay_spin, 2000);
}
