// Every main-window page, the column dialog and the tray hint and menu in English, German and
// Russian: saved as pictures under <build>/screens/<language>/ and checked for captions that do
// not fit their controls at the window's default size; and the fit check itself on planted misfits.
#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/DatabaseSchema.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorState.h"
#include "core/ProgramLog.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/StatusPanels.h"
#include "core/Synchronize.h"
#include "core/TextConversions.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/MessageBox.h"
#include "tests/support/ProgramGlobals.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetFit.h"
#include "ui/main/BigHint.h"
#include "ui/main/HostPageView.h"
#include "ui/main/OnlinePage.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/StatusView.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>

namespace ztt = ::zt::test;

namespace {

QString ScreensFolder(const QString& Language) {
    // Test programs live in <build>/tests/.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../screens/") +
                           Language);
}

void ProcessEvents() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

// A picture that is one colour throughout shows nothing.
bool ShowsSomething(const QImage& Shot) {
    if (Shot.isNull()) {
        return false;
    }
    const QRgb first = Shot.pixel(0, 0);
    for (int y = 0; y < Shot.height(); y += 3) {
        for (int x = 0; x < Shot.width(); x += 3) {
            if (Shot.pixel(x, y) != first) {
                return true;
            }
        }
    }
    return false;
}

// The status bar's panels, each with the widest texts the program writes into it (counts of three
// digits, a countdown of two).
std::vector<ztt::TMisfit> PanelMisfits(const TStatusBarPro& Bar) {
    const auto count = [](int PluralLine) {
        return QStringLiteral("100 ") + LangText(PluralLine);
    };
    const std::vector<std::pair<TStatusPanel, QStringList>> panels = {
        {TStatusPanel::SoundState, {LangText(322), LangText(323)}},
        {TStatusPanel::MonitoringState, {LangText(304), LangText(305)}},
        {TStatusPanel::OkCount, {count(306)}},
        {TStatusPanel::DownCount, {count(308), LangText(310)}},
        {TStatusPanel::DisabledCount, {count(311)}},
        {TStatusPanel::Progress, {LangText(377) + QStringLiteral(" 10 ") + LangText(347)}},
    };
    std::vector<ztt::TMisfit> out;
    for (const auto& [panel, texts] : panels) {
        const int index = int(panel);
        const TStatusPanelPro& item = Bar.Panels()[index];
        const QFontMetrics metrics(item.Font());
        // Left-aligned text starts after the indent, one pixel and two more; centred text has the
        // whole panel.
        const int lead = item.Alignment() == Qt::AlignLeft ? item.Indent() + 3 : 0;
        for (const QString& text : texts) {
            const int needed = lead + metrics.horizontalAdvance(text);
            const int available = Bar.PanelDrawRect(index).width();
            if (needed > available) {
                out.push_back({QStringLiteral("Form1"), QStringLiteral("StatusBar1 panel %1").arg(index),
                               text, needed, available});
            }
        }
    }
    return out;
}

void Append(std::vector<ztt::TMisfit>& To, const std::vector<ztt::TMisfit>& From) {
    To.insert(To.end(), From.begin(), From.end());
}

// Groups Servers (with Web) and Office; hosts in every state, with events, syslog lines and
// program-log lines of the last hour, so every page has rows to show.
void WriteDatabase(const QString& File, const QString& Language) {
    const LangFileContent words = ReadLangFile(LangFilePath(DataFolder(), Language));
    ASSERT_TRUE(words.ok) << words.error.toStdString();
    ASSERT_EQ(words.lines.size(), LangTextCount);
    MonitorDatabase.Open(File);
    CreateMissingTables(MonitorDatabase);
    const char* groups[][3] = {{"Servers", "1", nullptr}, {"Office", "2", nullptr}, {"Web", "3", "1"}};
    for (const auto& g : groups) {
        MonitorDatabase.ExecuteStatement("insert into list_group (Name, N_group, parent_id) values (?,?,?)",
                                         {QString::fromLatin1(g[0]), QString::fromLatin1(g[1]),
                                          g[2] ? QVariant(QString::fromLatin1(g[2])) : QVariant()});
    }
    struct THost {
        const char* Name;
        const char* IP;
        const char* Group;
        int StatusLine; // 277 OK, 278 Packet loss, 280 Down, 281 Disabled
        bool Enabled;
    };
    const THost hosts[] = {
        {"gateway", "127.0.0.1", "1", 277, true},  {"mail", "127.0.0.2", "1", 280, true},
        {"files", "127.0.0.3", "1", 278, true},    {"www", "127.0.0.4", "3", 277, true},
        {"printer", "127.0.0.5", "2", 281, false}, {"desk-7", "127.0.0.6", "2", 280, true}};
    const QString now = QString::number(CurrentLocalUnixTime() - 600);
    // Down since ten minutes ago, as the state machine stamps it.
    const QString downSince = DateTimeToDisplayText(NowDateTime() - 600.0 / 86400);
    for (const THost& h : hosts) {
        MonitorDatabase.ExecuteStatement("insert into hosts (Host, IP, N_group, Status, Enabled, HType, "
                                         "HType2, Kol_vo_p, Note_, Ping_check, "
                                         "Date_Pod) values (?,?,?,?,?,?,?,?,?,?,?)",
                                         {QString::fromLatin1(h.Name), QString::fromLatin1(h.IP),
                                          QString::fromLatin1(h.Group), words.lines[h.StatusLine],
                                          h.Enabled ? QStringLiteral("-1") : QStringLiteral("0"), 0, 0, 3,
                                          QStringLiteral("Note of ") + QString::fromLatin1(h.Name),
                                          QStringLiteral("-1"), h.StatusLine == 277 ? QString() : downSince});
    }
    for (int id : {2, 3, 6}) {
        MonitorDatabase.ExecuteStatement(
            "insert into log (Date_time, L_Status, Stat_D, ID_h_d) values (?,?,?,?)",
            {now, words.lines[280], QStringLiteral("ID"), id});
    }
    MonitorDatabase.ExecuteStatement(
        "insert into syslog (Date_time, Status, IP) values (?,?,?)",
        {now, QStringLiteral("<13>Jan  1 00:00:00 gateway test: link up"), QStringLiteral("127.0.0.1")});
    MonitorDatabase.ExecuteStatement("insert into program_log (Date_time, Status) values (?,?)",
                                     {now, words.lines[334]});
    MonitorDatabase.Close();
}

// The program's windows on a Data folder with the shipped language files, in one language.
class LanguageScreens : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        Language = QString::fromLatin1(GetParam());
        // The autostart entry written at each save stays in the test's folder, also outside ctest.
        HadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        SavedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Data.file("config")));
        SetDataFolder(QString::fromStdString(Data.path()));
        zt::test::CopyShippedLanguages(Data.path());
        ASSERT_NO_FATAL_FAILURE(WriteDatabase(DataFolder() + QStringLiteral("dbm.db"), Language));
        zt::test::ResetProgramGlobals();
        CreateForms();
        ASSERT_NE(Form1, nullptr);
        ASSERT_NE(Column_Form, nullptr);
        ASSERT_NE(Big_hint_form, nullptr);
        // Pictures of a still program: no pass starts meanwhile.
        Form1->Monitor().Timer4.stop();
        // Chosen as the operator does: the "Language:" box, then the loader with its text.
        QComboBox* languages = Form1->OptionsPage().Lang_ComboBox;
        languages->setCurrentIndex(languages->findText(Language));
        ASSERT_EQ(languages->currentText(), Language);
        Column_Form->ApplyLanguage(Language);
        Shots = ScreensFolder(Language);
        ASSERT_TRUE(QDir().mkpath(Shots));
    }
    void TearDown() override {
        if (Form1) {
            Form1->Monitor().Shutdown(2000);
        }
        DestroyForms();
        MonitorDatabase.Close();
        MonitoringActive = false;
        SetMessageBoxHandler({});
        SetDataFolder(QString());
        SetProgramLogSink(nullptr);
        ResetShutdownRequest();
        LangTexts::UseBuiltInEnglish();
        SoundMuted = false;
        if (HadConfigHome) {
            qputenv("XDG_CONFIG_HOME", SavedConfigHome);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }

    void Save(const QImage& Shot, const char* Name) {
        EXPECT_TRUE(ShowsSomething(Shot)) << Name;
        EXPECT_TRUE(Shot.save(Shots + QLatin1Char('/') + QLatin1String(Name) + QStringLiteral(".png")))
            << Name;
    }

    // Pops the menu up as the operator would (its OnPopup runs), saves it, checks its items.
    void ShootMenu(QMenu& Menu, const char* Name, const QString& Window) {
        Menu.popup(QPoint(40, 40));
        ProcessEvents();
        Append(Misfits, ztt::FindMenuMisfits(Menu, Window));
        Save(Menu.grab().toImage(), Name);
        Menu.hide();
    }

    QString Language;
    QString Shots;
    bool HadConfigHome = false;
    QByteArray SavedConfigHome;
    ztt::TempDir Data;
    std::vector<ztt::TMisfit> Misfits;
};

} // namespace

TEST_P(LanguageScreens, EveryWindowIsShotAndEveryCaptionFitsAtTheDefaultSize) {
    // The pictures show the language's own words.
    const QStringList words = ReadLangFile(LangFilePath(DataFolder(), Language)).lines;
    ASSERT_EQ(words.size(), LangTextCount);
    EXPECT_EQ(Form1->File1->title(), words[0]);
    EXPECT_EQ(Form1->PageControl1->tabText(0), words[10]);
    EXPECT_EQ(Form1->PageControl2->tabText(2), words[23]);
    EXPECT_EQ(Form1->HostPage().Add_b->text(), words[30]);
    EXPECT_EQ(Column_Form->CheckBox_Host_Name->text(), words[47]);
    EXPECT_EQ(Big_hint_form->Showmainwindow1->text(), words[393]);
    EXPECT_EQ(Form1->OptionsPage().Lang_ComboBox->currentText(), Language);

    // The window at the size it has before any placement is saved; how much narrower its layout
    // could go is printed for the record.
    Form1->show();
    ProcessEvents();
    EXPECT_EQ(Form1->size(), QSize(1100, 720));
    const QSize least = Form1->minimumSizeHint();
    std::printf("%s: default size 1100x720, least size of the layout %dx%d\n", GetParam(), least.width(),
                least.height());
    // The summary's panels, words and tray lines of the loaded hosts; the other panels as they read
    // between two passes.
    MonitoringActive = true;
    Form1->Timer22Timer();
    MonitoringActive = false;
    Form1->StatusView().ShowStartStopState();
    Form1->SetPanelText(TStatusPanel::MonitoringState, LangText(304), PanelColourRed);
    Form1->SetPanelText(TStatusPanel::Progress, LangText(377) + QStringLiteral(" 2 ") + LangText(347));

    struct TPage {
        QWidget* Sheet;
        QWidget* LogSheet;
        const char* Name;
    };
    const TPage pages[] = {{Form1->TabSheet1, nullptr, "hosts"},
                           {Form1->TabSheet7, nullptr, "online_monitoring"},
                           {Form1->TabSheet3, nullptr, "options"},
                           {Form1->TabSheet2, Form1->TabSheet4, "logs_monitoring"},
                           {Form1->TabSheet2, Form1->TabSheet5, "logs_syslog"},
                           {Form1->TabSheet2, Form1->TabSheet6, "logs_program"}};
    for (const TPage& page : pages) {
        SCOPED_TRACE(page.Name);
        Form1->PageControl1->setCurrentWidget(page.Sheet);
        if (page.LogSheet) {
            Form1->PageControl2->setCurrentWidget(page.LogSheet);
        }
        if (page.Sheet == Form1->TabSheet7) {
            Form1->OnlinePage()->BitBtn35->click(); // "Refresh now"
        }
        ProcessEvents();
        ASSERT_EQ(Form1->size(), QSize(1100, 720));
        Append(Misfits, ztt::FindMisfits(*Form1));
        Save(Form1->grab().toImage(), page.Name);
    }
    Append(Misfits, PanelMisfits(*Form1->StatusBar1));
    Append(Misfits, ztt::FindMenuBarMisfits(*Form1->menuBar()));

    // The host menu on a host row, the group menu, the online page's menu.
    THostPageView& hosts = Form1->HostPage();
    Form1->PageControl1->setCurrentWidget(Form1->TabSheet1);
    Form1->DataGrid1->SelectCell(1, 0);
    ShootMenu(*hosts.PopupMenu2, "host_menu", QStringLiteral("Form1"));
    ShootMenu(*hosts.PopupMenu3, "group_menu", QStringLiteral("Form1"));
    for (QMenu* menu : {hosts.ools1, hosts.Help1, Form1->File1}) {
        ShootMenu(*menu, ("menu_" + menu->objectName().toStdString()).c_str(), QStringLiteral("Form1"));
    }
    Form1->PageControl1->setCurrentWidget(Form1->TabSheet7);
    ShootMenu(*Form1->OnlinePage()->PopupMenu1, "online_menu", QStringLiteral("Form1"));

    // The column dialog as the options page opens it.
    Column_Form->show();
    ProcessEvents();
    Append(Misfits, ztt::FindMisfits(*Column_Form));
    Save(Column_Form->grab().toImage(), "column_dialog");
    Column_Form->hide();

    // The tray menu and the hint with the hosts that are down, above a pointer at the bottom right.
    ShootMenu(*Big_hint_form->PopupMenu1, "tray_menu", QStringLiteral("Big_hint_form"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    Big_hint_form->TextTrayIcon1MouseMove(screen.bottomRight() - QPoint(20, 10));
    Big_hint_form->Timer1Timer();
    ProcessEvents();
    QWidget* hint = Big_hint_form->HintWindow();
    ASSERT_TRUE(hint->isVisible());
    EXPECT_TRUE(Big_hint_form->HintText().contains(QStringLiteral("mail")));
    Save(hint->grab().toImage(), "tray_hint");
    hint->hide();

    EXPECT_TRUE(Misfits.empty()) << Language.toStdString() << ": captions wider than their controls\n"
                                 << ztt::MisfitReport(Misfits);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageScreens, ::testing::Values("English", "German", "Russian"),
                         [](const ::testing::TestParamInfo<const char*>& Info) {
                             return std::string(Info.param);
                         });

// The fit check on controls whose room is known: each kind is found when it is one pixel short and
// passes when it has just enough.
class FitCheck : public ::testing::Test {
protected:
    FitCheck() {
        Window.setObjectName(QStringLiteral("Window"));
        Window.resize(600, 300);
    }
    // Puts Control at a fixed width and reports what the check finds.
    std::vector<ztt::TMisfit> At(QWidget& Control, int Width) {
        Control.setParent(&Window);
        Control.setGeometry(10, 10, Width, 40);
        Control.show();
        Window.show();
        ProcessEvents();
        return ztt::FindMisfits(Window);
    }
    QWidget Window;
};

TEST_F(FitCheck, LabelsCountTheirTextAndMargins) {
    QLabel label(QStringLiteral("Delete logs older than"));
    label.setObjectName(QStringLiteral("Label9"));
    const int text = label.fontMetrics().horizontalAdvance(label.text());
    EXPECT_TRUE(At(label, text).empty());
    const std::vector<ztt::TMisfit> short1 = At(label, text - 1);
    ASSERT_EQ(short1.size(), 1u);
    EXPECT_EQ(short1[0].Window, "Window");
    EXPECT_EQ(short1[0].Object, "Label9");
    EXPECT_EQ(short1[0].Text, "Delete logs older than");
    EXPECT_EQ(short1[0].Needed, text);
    EXPECT_EQ(short1[0].Available, text - 1);
    label.setMargin(3);
    EXPECT_EQ(At(label, text + 5).size(), 1u);
    EXPECT_TRUE(At(label, text + 6).empty());
    // Without a buddy an ampersand is drawn; with one it marks the mnemonic.
    label.setMargin(0);
    label.setText(QStringLiteral("&Save"));
    const int withAmpersand = label.fontMetrics().horizontalAdvance(QStringLiteral("&Save"));
    EXPECT_EQ(At(label, withAmpersand - 1).size(), 1u);
    QLineEdit buddy;
    label.setBuddy(&buddy);
    EXPECT_TRUE(At(label, label.fontMetrics().horizontalAdvance(QStringLiteral("Save"))).empty());
    // A hidden label is not looked at; an unnamed one is named after its class and parent.
    EXPECT_EQ(At(label, 1).size(), 1u);
    label.hide();
    EXPECT_TRUE(ztt::FindMisfits(Window).empty());
    QLabel unnamed(QStringLiteral("seconds"));
    const std::vector<ztt::TMisfit> found = At(unnamed, 5);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Object, "QLabel in Window");
}

TEST_F(FitCheck, ACaptionCutByItsParentsEdgeHasOnlyThePartShown) {
    QGroupBox box;
    box.setObjectName(QStringLiteral("GroupBox3"));
    box.setParent(&Window);
    box.setGeometry(0, 0, 100, 80);
    QLabel label(QStringLiteral("Ping timeout:"), &box);
    const int text = label.fontMetrics().horizontalAdvance(label.text());
    label.setGeometry(100 - text + 1, 30, text, 20);
    Window.show();
    ProcessEvents();
    const std::vector<ztt::TMisfit> found = ztt::FindMisfits(Window);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Object, "QLabel in GroupBox3");
    EXPECT_EQ(found[0].Available, text - 1);
}

TEST_F(FitCheck, CheckBoxesAndRadiosAddTheIndicatorAndItsSpacing) {
    QCheckBox check(QStringLiteral("Show grid lines"));
    check.setObjectName(QStringLiteral("Grid_show_CheckBox"));
    QStyle* style = check.style();
    const int checkRoom = style->pixelMetric(QStyle::PM_IndicatorWidth) +
                          style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) +
                          check.fontMetrics().horizontalAdvance(check.text());
    EXPECT_TRUE(At(check, checkRoom).empty());
    const std::vector<ztt::TMisfit> found = At(check, checkRoom - 1);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Needed, checkRoom);
    check.hide();
    QRadioButton radio(QStringLiteral("Vertical lines"));
    const int radioRoom = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                          style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) +
                          radio.fontMetrics().horizontalAdvance(radio.text());
    EXPECT_TRUE(At(radio, radioRoom).empty());
    EXPECT_EQ(At(radio, radioRoom - 1).size(), 1u);
}

TEST_F(FitCheck, PushButtonsCountTheirIconButNoStyleMinimum) {
    QPushButton button(QStringLiteral("OK"));
    button.setObjectName(QStringLiteral("BitBtn1"));
    button.setAutoDefault(false);
    // Fusion makes captioned buttons at least 80 pixels wide; a two-letter caption needs far less.
    EXPECT_TRUE(At(button, 40).empty());
    button.setText(QStringLiteral("Export list of hosts"));
    const int text = button.fontMetrics().horizontalAdvance(button.text());
    EXPECT_EQ(At(button, text).size(), 1u);
    EXPECT_TRUE(At(button, text + 40).empty());
    const int plain = At(button, 1)[0].Needed;
    EXPECT_GT(plain, text);
    button.setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogSaveButton));
    EXPECT_EQ(At(button, 1)[0].Needed, plain + button.iconSize().width() + 4);
}

TEST_F(FitCheck, GroupBoxTitlesAndTabsAgainstTheirRoom) {
    QGroupBox box(QStringLiteral("Alarm options"));
    box.setObjectName(QStringLiteral("GroupBox_alarm"));
    const int title = box.fontMetrics().horizontalAdvance(box.title());
    EXPECT_EQ(At(box, title).size(), 1u);
    EXPECT_TRUE(At(box, title + 30).empty());
    box.hide();

    QTabWidget tabs;
    tabs.setObjectName(QStringLiteral("PageControl1"));
    tabs.addTab(new QWidget, QStringLiteral("Hosts"));
    tabs.addTab(new QWidget, QStringLiteral("Online monitoring"));
    EXPECT_TRUE(At(tabs, 400).empty());
    // Too narrow for both tabs: the second hides behind the scroll buttons.
    const std::vector<ztt::TMisfit> found = At(tabs, 90);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.back().Text, "Online monitoring");
    EXPECT_LT(found.back().Available, found.back().Needed);
}

TEST_F(FitCheck, MenuItemsAreMeasuredAfterTheMenuIsLaidOut) {
    QMenu menu;
    menu.setObjectName(QStringLiteral("PopupMenu2"));
    QAction* item = menu.addAction(QStringLiteral("Explore the host"));
    item->setObjectName(QStringLiteral("Explorehost1"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Trace route to a host with a long name"));
    EXPECT_TRUE(ztt::FindMenuMisfits(menu, QStringLiteral("Form1")).empty());
    // A menu held narrower than its items cuts the long one only.
    menu.setMaximumWidth(menu.fontMetrics().horizontalAdvance(QStringLiteral("Explore the host")) + 60);
    const std::vector<ztt::TMisfit> found = ztt::FindMenuMisfits(menu, QStringLiteral("Form1"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Text, "Trace route to a host with a long name");
    EXPECT_EQ(found[0].Window, "Form1");
    EXPECT_EQ(ztt::MisfitReport(found).find(
                  "Form1 / PopupMenu2 / item 2: \"Trace route to a host with a long name\" needs "),
              0u);
}

namespace {

// Every caption an operator can read, keyed by window, control and place: labels, buttons, box
// titles, tabs, combo items, menus, status panels, shown grid headers and framed windows' titles.
// A control hidden only as a page not shown at the moment counts.
std::map<QString, QString> Captions() {
    std::map<QString, QString> out;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        // The progress window's title is made anew for each run it counts.
        if (top->objectName().isEmpty() || top->objectName() == u"Progress_Form" || qobject_cast<QMenu*>(top))
            continue;
        const auto put = [&](const QObject* Object, int Place, const QString& Text) {
            if (!Text.trimmed().isEmpty())
                out[QStringLiteral("%1/%2/%3 %4")
                        .arg(top->objectName(), Object->objectName())
                        .arg(quintptr(Object), 0, 16)
                        .arg(Place)] = Text;
        };
        if (!(top->windowFlags() & Qt::FramelessWindowHint))
            put(top, -1, top->windowTitle());
        for (QWidget* w : top->findChildren<QWidget*>()) {
            bool shown = true;
            for (QWidget* p = w; p != top; p = p->parentWidget())
                shown = shown && (!p->isHidden() || qobject_cast<QStackedWidget*>(p->parentWidget()));
            if (auto* menu = qobject_cast<QMenu*>(w)) {
                put(menu, -1, menu->title());
                for (QAction* action : menu->actions())
                    put(action, 0, action->isVisible() ? action->text() : QString());
            } else if (!shown)
                continue;
            else if (auto* label = qobject_cast<QLabel*>(w))
                put(w, 0, label->text());
            else if (auto* button = qobject_cast<QAbstractButton*>(w))
                put(w, 0, button->text());
            else if (auto* box = qobject_cast<QGroupBox*>(w))
                put(w, 0, box->title());
            else if (auto* tabs = qobject_cast<QTabWidget*>(w))
                for (int i = 0; i < tabs->count(); ++i)
                    put(w, i, tabs->tabText(i));
            else if (auto* combo = qobject_cast<QComboBox*>(w); combo && !combo->isEditable())
                for (int i = 0; i < combo->count(); ++i)
                    put(w, i, combo->itemText(i));
            else if (auto* bar = qobject_cast<TStatusBarPro*>(w))
                for (int i = 0; i < bar->Panels().Count(); ++i)
                    put(w, i, bar->Panels()[i].Text());
            else if (auto* view = qobject_cast<TGxGridView*>(w))
                for (int c = 0; c < view->Grid().Columns().ColumnCount(); ++c)
                    put(w, c,
                        view->Grid().Columns().GetColumn(c)->Visible()
                            ? view->Grid().Columns().GetColumn(c)->Header().Caption()
                            : QString());
        }
    }
    return out;
}

// Names aside, a text may stay as in English only where the language's own file writes it so,
// alone or followed by a name ("Hosts: Servers").
bool SameInLanguage(const QString& Text, const QString& Language) {
    static const QStringList names =
        QStringLiteral(
            "Zorvanite Tarnequill Pro|Skype|ID|x|English|German|Russian|Server|Router|Switch|Printer|"
            "Workstation")
            .split(QLatin1Char('|'));
    const auto lines = [](const QString& Name) {
        const std::string bytes = ztt::ReadFile(ztt::SourcePath("Data/lang_files/" + Name.toStdString()));
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).split(QStringLiteral("\r\n"));
    };
    const QStringList english = lines(QStringLiteral("English")), own = lines(Language);
    const QString text = Text.trimmed();
    for (qsizetype i = 0; i < english.size() && i < own.size(); ++i) {
        const QString word = english[i].trimmed();
        if (!word.isEmpty() && word == own[i].trimmed() && text.startsWith(word) &&
            (text.size() == word.size() || !text[word.size()].isLetter()))
            return true;
    }
    return names.contains(text) || !text.contains(QRegularExpression(QStringLiteral("\\p{L}")));
}

} // namespace

// Every window and dialog the program builds, in German and Russian: no caption stays in English,
// and going back to English brings back every English caption.
TEST_P(LanguageScreens, NoCaptionOfAnyWindowStaysInEnglish) {
    if (Language == QLatin1String("English"))
        GTEST_SKIP() << "the English captions are the reference";
    // Also what a switch from English leaves: texts written only on a later change must follow.
    Column_Form->ApplyLanguage(QStringLiteral("English"));
    Form1->StatusView().SetStatusPanel(TStatusPanel::MonitoringState, LangText(304), PanelColourRed);
    Column_Form->ApplyLanguage(Language);
    const std::map<QString, QString> translated = Captions();
    Column_Form->ApplyLanguage(QStringLiteral("English"));
    const std::map<QString, QString> english = Captions();
    QStringList left;
    for (const auto& [key, text] : translated)
        if (english.count(key) && english.at(key) == text && !SameInLanguage(text, Language))
            left << key + QStringLiteral(": \"") + text + QLatin1Char('"');
    EXPECT_TRUE(left.isEmpty()) << Language.toStdString() << ", left in English:\n"
                                << left.join(QLatin1Char('\n')).toStdString();
}
