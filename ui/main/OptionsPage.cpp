// The options page's controls and handlers; the values live in the settings model, the page only
// shows them.
#include "ui/main/OptionsPage.h"

#include "core/ColumnVisibility.h"
#include "core/DataFolder.h"
#include "core/ExceptionGuard.h"
#include "core/MonitorController.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "core/SettingsModel.h"
#include "core/SoundQueue.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "ui/common/Widgets.h"
#include "ui/main/SettingsBinding.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringListModel>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// A caption the language file names; its text is never read as markup.
// A spin box between two captions ("Alarm when" [10] "checks fail").
QHBoxLayout* SpinRow(QLabel* Before, QSpinBox* Spin, QLabel* After) {
    auto* row = new QHBoxLayout;
    row->addWidget(Before);
    row->addWidget(Spin);
    row->addWidget(After);
    row->addStretch(1);
    return row;
}

// The "Language:" box shows the language named on settings line 47, or line 48's item when no file
// of that name is listed; choosing one stores its index and name.
void ShowLanguage(QComboBox& Box, const TSettings& Values) {
    int index = Box.findText(Values.Lang_ComboBox_Text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        index = Values.Lang_ComboBox_Index;
    }
    if (index >= -1 && index < Box.count() && Box.currentIndex() != index) {
        Box.setCurrentIndex(index);
    }
}

} // namespace

QByteArray HostListExportText(TSQLiteDatabase& Database) {
    QStringList lines;
    std::unique_ptr<TSQLiteTable> table =
        Database.OpenResultTable(QStringLiteral("select IP, Note_ from hosts"));
    int n = 0;
    for (table->FirstRow(); !table->AtEnd(); table->NextRow()) {
        lines << QStringLiteral("%1* %2* %3")
                     .arg(++n)
                     .arg(table->FieldTextOrEmpty(0), table->FieldTextOrEmpty(1));
    }
    return LinesToFileText(lines);
}

TOptionsPage::TOptionsPage(QWidget& Page) : QObject(&Page) {
    setObjectName(QStringLiteral("OptionsPage"));
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    CreateGeneral(Page);
    CreateAlarm(Page);
    CreateView(Page);
    left->addWidget(GroupBox_general);
    left->addStretch(1);
    right->addWidget(GroupBox_alarm);
    right->addWidget(GroupBox_view);
    right->addStretch(1);
    BitBtn23 = MakeButton("BitBtn23", "Save options", &Page);
    BitBtn23->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogSaveButton));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(BitBtn23);
    // The window may have put its own row on the page already.
    auto* layout = qobject_cast<QVBoxLayout*>(Page.layout());
    if (!layout) {
        layout = new QVBoxLayout(&Page);
    }
    layout->addLayout(columns, 1);
    layout->addLayout(bottom);
}

void TOptionsPage::CreateGeneral(QWidget& Page) {
    GroupBox_general = Make<QGroupBox>("GroupBox1", &Page);
    GroupBox_general->setTitle(QStringLiteral("General options"));
    QWidget* box = GroupBox_general;
    auto* form = new QVBoxLayout(box);
    ploss_spin = Make<QSpinBox>("ploss_spin", box);
    Delay_spin = Make<QSpinBox>("Delay_spin", box);
    Timeout_Spin = Make<QSpinBox>("Timeout_Spin", box);
    check_spin = Make<QSpinBox>("check_spin", box);
    form->addLayout(
        SpinRow(MakeLabel("Label2", "Alarm when", box), ploss_spin, MakeLabel("Label4", "checks fail", box)));
    form->addLayout(
        SpinRow(MakeLabel("Label5", "Test delay:", box), Delay_spin, MakeLabel("Label3", "seconds", box)));
    form->addLayout(
        SpinRow(MakeLabel("Label7", "Ping timeout:", box), Timeout_Spin, MakeLabel("Label15", "ms", box)));
    form->addLayout(SpinRow(MakeLabel("Label22", "Check count", box), check_spin,
                            MakeLabel("Label23", "in one test", box)));
    CheckBox_start_with_system = MakeCheck("CheckBox_start_with_system", "Start with the system", box);
    form->addWidget(CheckBox_start_with_system);
    Synchronize_db_Check = MakeCheck("Synchronize_db_Check", "Synchronize database", box);
    form->addWidget(Synchronize_db_Check);
    Edit_db = Make<QLineEdit>("Edit_db", box);
    BitBtn36 = MakeButton("BitBtn36", "Browse", box);
    auto* db = new QHBoxLayout;
    db->addWidget(MakeLabel("Label26", "Database:", box));
    db->addWidget(Edit_db, 1);
    db->addWidget(BitBtn36);
    form->addLayout(db);
    Delete_logs_CheckBox1 = MakeCheck("Delete_logs_CheckBox1", "Delete logs older then ", box);
    Logs_clear_SpinEdit = Make<QSpinBox>("Logs_clear_SpinEdit", box);
    auto* logs = new QHBoxLayout;
    logs->addWidget(Delete_logs_CheckBox1);
    logs->addWidget(Logs_clear_SpinEdit);
    logs->addWidget(MakeLabel("Label27", "days", box));
    logs->addStretch(1);
    form->addLayout(logs);
    Delete_traff_mon_data_CheckBox =
        MakeCheck("Delete_traff_mon_data_CheckBox", "Delete traffic monitoring data older then ", box);
    traff_m_data_SpinEdit = Make<QSpinBox>("traff_m_data_SpinEdit", box);
    auto* traffic = new QHBoxLayout;
    traffic->addWidget(Delete_traff_mon_data_CheckBox);
    traffic->addWidget(traff_m_data_SpinEdit);
    traffic->addWidget(MakeLabel("Label30", "days", box));
    traffic->addStretch(1);
    form->addLayout(traffic);
    // Key presses of these two save at once; the filter sees them before the spin box does.
    Delay_spin->installEventFilter(this);
    ploss_spin->installEventFilter(this);
}

void TOptionsPage::CreateAlarm(QWidget& Page) {
    GroupBox_alarm = Make<QGroupBox>("GroupBox7", &Page);
    GroupBox_alarm->setTitle(QStringLiteral("Alarm options"));
    QWidget* box = GroupBox_alarm;
    auto* form = new QVBoxLayout(box);
    Alert_CheckBox = MakeCheck("Alert_CheckBox", "Show Alert window", box);
    BitBtn22 = MakeButton("BitBtn22", "Test", box);
    auto* alert = new QHBoxLayout;
    alert->addWidget(Alert_CheckBox);
    alert->addWidget(BitBtn22);
    alert->addStretch(1);
    form->addLayout(alert);
    CheckBox_soundalarm = MakeCheck("CheckBox_soundalarm", "Sound alert", box);
    form->addWidget(CheckBox_soundalarm);
    Up_sound_CheckBox = MakeCheck("Up_sound_CheckBox", "Play a sound when a host UP ", box);
    form->addWidget(Up_sound_CheckBox);
    Up_Sound_Edit = Make<QLineEdit>("Up_Sound_Edit", box);
    Up_Sound_Edit->setText(QString::fromLatin1(DefaultUpSound));
    // The sound list drops down from the field, as the files of Data/Sounds.
    auto* completer = new QCompleter(new QStringListModel(this), Up_Sound_Edit);
    completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    Up_Sound_Edit->setCompleter(completer);
    QAction* drop = Up_Sound_Edit->addAction(QApplication::style()->standardIcon(QStyle::SP_ArrowDown),
                                             QLineEdit::TrailingPosition);
    drop->setObjectName(QStringLiteral("Up_Sound_Edit_List"));
    connect(drop, &QAction::triggered, completer, [completer] { completer->complete(); });
    Play_sound_button = Make<QPushButton>("Play_sound_button", box);
    Play_sound_button->setIcon(QApplication::style()->standardIcon(QStyle::SP_MediaPlay));
    Browse_BitBtn = MakeButton("Browse_BitBtn", "Browse", box);
    auto* sound = new QHBoxLayout;
    sound->addWidget(MakeLabel("Label14", "Sound file:", box));
    sound->addWidget(Up_Sound_Edit, 1);
    sound->addWidget(Play_sound_button);
    sound->addWidget(Browse_BitBtn);
    form->addLayout(sound);
    Email_checkbox = MakeCheck("Email_checkbox", "Enable email notification", box);
    Email_settings_button = MakeButton("Email_settings_button", "Email settings", box);
    auto* mail = new QHBoxLayout;
    mail->addWidget(Email_checkbox);
    mail->addStretch(1);
    mail->addWidget(Email_settings_button);
    form->addLayout(mail);
    ICQ_CheckBox = MakeCheck("ICQ_CheckBox", "Enable ICQ notification", box);
    BitBtn37 = MakeButton("BitBtn37", "ICQ settings", box);
    auto* icq = new QHBoxLayout;
    icq->addWidget(ICQ_CheckBox);
    icq->addStretch(1);
    icq->addWidget(BitBtn37);
    form->addLayout(icq);
}

void TOptionsPage::CreateView(QWidget& Page) {
    GroupBox_view = Make<QGroupBox>("GroupBox4", &Page);
    GroupBox_view->setTitle(QStringLiteral("View options"));
    QWidget* box = GroupBox_view;
    auto* grid = new QGridLayout(box);
    Grid_show_CheckBox = MakeCheck("Grid_show_CheckBox", "Show grid lines", box);
    Grid_Style_ComboBox = Make<QComboBox>("Grid_Style_ComboBox", box);
    Grid_Style_ComboBox->addItems({QStringLiteral("Vertical lines"), QStringLiteral("Horisontal lines"),
                                   QStringLiteral("Vertical and horisontal lines")});
    Grid_Style_ComboBox->setCurrentIndex(1);
    auto* style = new QHBoxLayout;
    style->addWidget(MakeLabel("Label8", "Lines style:", box));
    style->addWidget(Grid_Style_ComboBox, 1);
    grid->addWidget(Grid_show_CheckBox, 0, 0);
    grid->addLayout(style, 0, 1);
    Lang_ComboBox = Make<QComboBox>("Lang_ComboBox", box);
    grid->addWidget(MakeLabel("Label32", "Language:", box), 1, 0);
    grid->addWidget(Lang_ComboBox, 1, 1);
    BitBtn30 = MakeButton("BitBtn30", "Column settings", box);
    BitBtn31 = MakeButton("BitBtn31", "Edit host types", box);
    grid->addWidget(BitBtn30, 2, 0);
    grid->addWidget(BitBtn31, 2, 1);
    Compact_t_CheckBox1 = MakeCheck("Compact_t_CheckBox1", "Compact type", box);
    Button3 = MakeButton("Button3", "Export list of hosts", box);
    grid->addWidget(Compact_t_CheckBox1, 3, 0);
    grid->addWidget(Button3, 3, 1);
}

void TOptionsPage::Bind(TOptionsPageParts Parts) {
    FParts = std::move(Parts);
    TSettingsModel& model = *FParts.Settings;
    BindSpinBox(*ploss_spin, model, &TSettings::ploss_spin);
    BindSpinBox(*Delay_spin, model, &TSettings::Delay_spin);
    BindSpinBox(*Timeout_Spin, model, &TSettings::Timeout_Spin);
    BindSpinBox(*check_spin, model, &TSettings::check_spin);
    BindCheckBox(*CheckBox_start_with_system, model, &TSettings::CheckBox_start_with_system);
    BindCheckBox(*Synchronize_db_Check, model, &TSettings::Synchronize_db_Check);
    BindLineEdit(*Edit_db, model, &TSettings::Edit_db);
    BindCheckBox(*Delete_logs_CheckBox1, model, &TSettings::Delete_logs_CheckBox1);
    BindSpinBox(*Logs_clear_SpinEdit, model, &TSettings::Logs_clear_SpinEdit);
    BindCheckBox(*Delete_traff_mon_data_CheckBox, model, &TSettings::Delete_traff_mon_data_CheckBox);
    BindSpinBox(*traff_m_data_SpinEdit, model, &TSettings::traff_m_data_SpinEdit);
    BindCheckBox(*Alert_CheckBox, model, &TSettings::Alert_CheckBox);
    BindCheckBox(*CheckBox_soundalarm, model, &TSettings::CheckBox_soundalarm);
    BindCheckBox(*Up_sound_CheckBox, model, &TSettings::Up_sound_CheckBox);
    BindLineEdit(*Up_Sound_Edit, model, &TSettings::Up_Sound_Edit);
    BindCheckBox(*Email_checkbox, model, &TSettings::Email_checkbox);
    BindCheckBox(*ICQ_CheckBox, model, &TSettings::ICQ_CheckBox);
    BindCheckBox(*Grid_show_CheckBox, model, &TSettings::Grid_show_CheckBox);
    BindCheckBox(*Compact_t_CheckBox1, model, &TSettings::Compact_t_CheckBox1);
    BindStyleBox();
    BindLanguageBox();
    ConnectHandlers();
}

void TOptionsPage::BindStyleBox() {
    TSettingsModel& model = *FParts.Settings;
    auto show = [this, &model] {
        const int index = model.Snapshot()->Grid_Style_ComboBox;
        if (Grid_Style_ComboBox->currentIndex() != index) {
            Grid_Style_ComboBox->setCurrentIndex(index);
        }
    };
    show();
    connect(&model, &TSettingsModel::Changed, Grid_Style_ComboBox, show);
    connect(Grid_Style_ComboBox, &QComboBox::currentIndexChanged, this, [&model](int Index) {
        Guarded("Grid_Style_ComboBox", [&] {
            if (Index >= 0 && Index <= 2) {
                model.Update([Index](TSettings& s) { s.Grid_Style_ComboBox = Index; });
            }
        });
    });
}

void TOptionsPage::BindLanguageBox() {
    TSettingsModel& model = *FParts.Settings;
    ShowLanguage(*Lang_ComboBox, *model.Snapshot());
    connect(&model, &TSettingsModel::Changed, Lang_ComboBox,
            [this, &model] { ShowLanguage(*Lang_ComboBox, *model.Snapshot()); });
    connect(Lang_ComboBox, &QComboBox::currentIndexChanged, this, [this, &model](int Index) {
        Guarded("Lang_ComboBox", [&] {
            if (Index < 0) {
                return;
            }
            const QString name = Lang_ComboBox->itemText(Index);
            model.Update([Index, name](TSettings& s) {
                s.Lang_ComboBox_Index = Index;
                s.Lang_ComboBox_Text = name;
            });
        });
    });
}

void TOptionsPage::ConnectHandlers() {
    auto on = [this](QPushButton* Button, const char* Where, void (TOptionsPage::*Handler)()) {
        connect(Button, &QPushButton::clicked, this,
                [this, Where, Handler] { Guarded(Where, [this, Handler] { (this->*Handler)(); }); });
    };
    on(BitBtn23, "TForm1.BitBtn23Click", &TOptionsPage::BitBtn23Click);
    on(BitBtn22, "TForm1.BitBtn22Click", &TOptionsPage::BitBtn22Click);
    on(BitBtn30, "TForm1.BitBtn30Click", &TOptionsPage::BitBtn30Click);
    on(BitBtn31, "TForm1.BitBtn31Click", &TOptionsPage::BitBtn31Click);
    on(Email_settings_button, "TForm1.Email_settings_buttonClick", &TOptionsPage::Email_settings_buttonClick);
    on(BitBtn37, "TForm1.BitBtn37Click", &TOptionsPage::BitBtn37Click);
    on(BitBtn36, "TForm1.BitBtn36Click", &TOptionsPage::BitBtn36Click);
    on(Button3, "TForm1.Button3Click", &TOptionsPage::Button3Click);
    // Clicks of the operator only: a value the settings file brings runs no handler.
    connect(Grid_show_CheckBox, &QCheckBox::clicked, this,
            [this] { Guarded("TForm1.Grid_show_CheckBoxClick", [this] { Grid_show_CheckBoxClick(); }); });
    connect(Grid_Style_ComboBox, &QComboBox::activated, this,
            [this] { Guarded("TForm1.Grid_Style_ComboBoxClick", [this] { Grid_Style_ComboBoxClick(); }); });
    connect(Email_checkbox, &QCheckBox::clicked, this,
            [this] { Guarded("TForm1.Email_checkboxClick", [this] { Email_checkboxClick(); }); });
    connect(ICQ_CheckBox, &QCheckBox::clicked, this,
            [this] { Guarded("TForm1.ICQ_CheckBoxClick", [this] { ICQ_CheckBoxClick(); }); });
}

bool TOptionsPage::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::KeyPress && (Watched == Delay_spin || Watched == ploss_spin)) {
        // Saved once the key has changed the value, so the file holds what the box shows.
        const bool delay = Watched == Delay_spin;
        QTimer::singleShot(0, this, [this, delay] {
            Guarded(delay ? "TForm1.Delay_spinKeyPress" : "TForm1.ploss_spinKeyPress",
                    [this, delay] { delay ? Delay_spinKeyPress() : ploss_spinKeyPress(); });
        });
    }
    return false;
}

void TOptionsPage::Save() {
    if (FParts.SaveSettings) {
        FParts.SaveSettings();
    }
}

void TOptionsPage::BitBtn23Click() {
    // The check thread reads the options while a pass runs: that pass stops, the settings are
    // saved and monitoring starts again once its threads have ended (one deferred restart).
    // Between passes, or with monitoring off, saving is enough.
    const bool passRunning =
        FParts.Controller && FParts.Controller->MonitoringOn() && !FParts.Controller->PassCountdownRunning();
    if (passRunning) {
        FParts.Controller->RunWithMonitoringPaused([this] { Save(); });
    } else {
        Save();
    }
    const TSettingsSnapshot values = FParts.Settings->Snapshot();
    if (values->ICQ_CheckBox && FParts.MessagingLoggedIn && !FParts.MessagingLoggedIn() &&
        FParts.MessagingLogin) {
        FParts.MessagingLogin(TextToInt64(values->ICQ_UIN_Edit), values->ICQ_Password_Edit);
    }
    if (FParts.ApplyLanguage) {
        FParts.ApplyLanguage(Lang_ComboBox->currentText());
    }
}

void TOptionsPage::Delay_spinKeyPress() {
    Save();
}

void TOptionsPage::ploss_spinKeyPress() {
    Save();
}

void TOptionsPage::BitBtn22Click() {
    if (FParts.ShowAlertTest) {
        FParts.ShowAlertTest();
    }
}

void TOptionsPage::ApplyGridLines() {
    const TSettingsSnapshot values = FParts.Settings->Snapshot();
    Grid_Style_ComboBox->setEnabled(values->Grid_show_CheckBox);
    if (FParts.HostGrid) {
        ::ApplyGridLines(*FParts.HostGrid, *values);
    }
}

void TOptionsPage::Grid_show_CheckBoxClick() {
    const bool on = Grid_show_CheckBox->isChecked();
    Grid_Style_ComboBox->setEnabled(on);
    if (FParts.HostGrid) {
        TDataGrid& grid = *FParts.HostGrid;
        grid.SetOptions(on ? grid.Options() | goGrid : grid.Options() & ~TGridOptions(goGrid));
    }
    Save();
}

void TOptionsPage::Grid_Style_ComboBoxClick() {
    TGridLinesStyle style;
    if (FParts.HostGrid && GridLinesStyleOfIndex(Grid_Style_ComboBox->currentIndex(), style)) {
        FParts.HostGrid->SetGridLinesStyle(style);
    }
    Save();
}

void TOptionsPage::BitBtn30Click() {
    if (FParts.ShowColumnDialog) {
        FParts.ShowColumnDialog();
    }
}

void TOptionsPage::BitBtn31Click() {
    if (FParts.ShowHostTypes) {
        FParts.ShowHostTypes();
    }
}

void TOptionsPage::Email_settings_buttonClick() {
    if (FParts.ShowNotifications) {
        FParts.ShowNotifications(0);
    }
}

void TOptionsPage::Email_checkboxClick() {
    if (!Email_checkbox->isChecked() || !FParts.Notifications) {
        return;
    }
    if (FParts.Notifications().Email.trimmed().isEmpty() && FParts.ShowNotifications) {
        FParts.ShowNotifications(0);
    }
}

void TOptionsPage::ICQ_CheckBoxClick() {
    if (!ICQ_CheckBox->isChecked() || !FParts.Notifications) {
        return;
    }
    const TNotificationSettings settings = FParts.Notifications();
    if ((settings.IcqUin.isEmpty() || settings.IcqPassword.isEmpty()) && FParts.ShowNotifications) {
        FParts.ShowNotifications(2);
    }
}

void TOptionsPage::BitBtn37Click() {
    if (FParts.ShowNotifications) {
        FParts.ShowNotifications(2);
    }
}

void TOptionsPage::BitBtn36Click() {
    const QString file =
        OpenFileDialog(Edit_db->window(), DataFolder(), QString::fromLatin1(DatabaseFileFilter));
    if (!file.isEmpty()) {
        Edit_db->setText(file);
    }
}

void TOptionsPage::Button3Click() {
    if (!FParts.Database) {
        return;
    }
    const QByteArray text = HostListExportText(*FParts.Database);
    const QString file = SaveFileDialog(Button3->window(), QString::fromLatin1(HostListFileName), QString());
    if (file.isEmpty()) {
        return;
    }
    if (!WriteFileAtomic(file, text)) {
        ShowMessageBox(QStringLiteral("The list of hosts could not be saved to ") + file);
    }
}

void TOptionsPage::FillLanguages(const QStringList& Names) {
    const TSettingsSnapshot values = FParts.Settings ? FParts.Settings->Snapshot() : nullptr;
    // Refilling is no choice of the operator's: the settings keep their lines 47 and 48.
    const QSignalBlocker block(Lang_ComboBox);
    Lang_ComboBox->clear();
    Lang_ComboBox->addItems(Names);
    Lang_ComboBox->setCurrentIndex(-1);
    if (values) {
        ShowLanguage(*Lang_ComboBox, *values);
    }
}

void TOptionsPage::SetUpSoundList(const QStringList& Names) {
    FUpSounds = Names;
    if (auto* model = qobject_cast<QStringListModel*>(Up_Sound_Edit->completer()->model())) {
        model->setStringList(Names);
    }
}

QStringList TOptionsPage::UpSoundList() const {
    return FUpSounds;
}
