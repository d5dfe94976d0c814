// The dialogs in the shipped languages: the language file's lines reach the captions, tabs, hints,
// titles and column headers of the dialogs the program builds, and every caption fits its control.
// Screenshots of each dialog page per language go to dialog_shots/ in the working folder.
#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "core/SQLiteDb.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/MessageBox.h"
#include "tests/support/ProgramGlobals.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/About_form.h"
#include "ui/dialogs/DisableSoundForm.h"
#include "ui/dialogs/Email_settings.h"
#include "ui/dialogs/Log_s.h"
#include "ui/dialogs/Multi_Host_edit.h"
#include "ui/dialogs/m_tasks_add.h"
#include "ui/dialogs/tasks_add.h"
#include "ui/dialogs/types_of_host_form.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/column_options.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

// The lines of a shipped language file, as the loader reads them.
QStringList ShippedLines(const char* Language) {
    const std::string bytes =
        zt::test::ReadFile(zt::test::SourcePath(std::string("Data/lang_files/") + Language));
    QStringList lines =
        QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString Caption(QWidget* Window, const char* Name) {
    QObject* object = Window->findChild<QObject*>(QLatin1String(Name));
    if (auto* label = qobject_cast<QLabel*>(object))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(object))
        return button->text();
    if (auto* box = qobject_cast<QGroupBox*>(object))
        return box->title();
    return QStringLiteral("<no %1>").arg(QLatin1String(Name));
}

QString Header(TGxGridView* View, const char* Column) {
    return View->Grid().Columns().ColumnByName(QLatin1String(Column))->Header().Caption();
}

// The dialogs whose captions come from the language file.
std::vector<QWidget*> Dialogs() {
    return {Tasks_form,       Multiple_hosts_edit_form,
            Add_M_hosts,      Email_settings_form,
            SoundDisableForm, Types_form,
            About_f,          Logs};
}

// Where a caption is cut on the page shown now: a text wider than its control, a control that
// leaves its window, a tab outside its bar.
QStringList Misfits(QWidget& Window) {
    QStringList found;
    const QRect inside = Window.rect();
    auto where = [&](QWidget* Widget, const QString& Text, const char* Why) {
        found << QStringLiteral("%1.%2 \"%3\": %4")
                     .arg(Window.objectName(), Widget->objectName(), Text, QLatin1String(Why));
    };
    auto outside = [&](QWidget* Widget) {
        return !inside.contains(QRect(Widget->mapTo(&Window, QPoint(0, 0)), Widget->size()));
    };
    for (QWidget* widget : Window.findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        QString text;
        int needed = 0;
        if (auto* label = qobject_cast<QLabel*>(widget);
            label && !label->wordWrap() && label->pixmap().isNull()) {
            text = label->text();
            needed = label->sizeHint().width();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
            needed = button->sizeHint().width();
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            text = box->title();
            needed = box->minimumSizeHint().width();
        } else if (auto* bar = qobject_cast<QTabBar*>(widget)) {
            for (int i = 0; i < bar->count(); ++i)
                if (bar->isTabVisible(i) && !bar->rect().contains(bar->tabRect(i)))
                    where(bar, bar->tabText(i), "tab outside its bar");
            continue;
        }
        if (text.isEmpty())
            continue;
        if (widget->width() < needed)
            where(widget, text, "narrower than its text");
        if (outside(widget))
            where(widget, text, "outside the window");
    }
    return found;
}

class DialogLanguages : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(Data.path()));
        zt::test::CopyShippedLanguages(Data.path());
        zt::test::ResetProgramGlobals();
        CreateForms();
        ASSERT_NE(Column_Form, nullptr);
        for (QWidget* dialog : Dialogs())
            ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        DestroyForms();
        MonitorDatabase.Close();
        SetMessageBoxHandler({});
        SetDataFolder(QString());
        ResetShutdownRequest();
        LangTexts::UseBuiltInEnglish();
    }
    zt::test::TempDir Data;
};

TEST_F(DialogLanguages, GermanReachesTheHostAndMailDialogsAndTheSmallOnes) {
    const QStringList de = ShippedLines("German");
    const QStringList en = ShippedLines("English");
    ASSERT_EQ(de.size(), LangTextCount);
    // The lines checked below differ between the two languages, so a caption left English fails.
    for (int line : {110, 112, 120, 127, 137, 140, 162, 163, 167, 176, 185, 237, 244, 246, 104, 95, 260, 370})
        ASSERT_NE(de[line], en[line]) << "line " << line;
    Column_Form->ApplyLanguage(QStringLiteral("German"));

    // The host dialog: tabs, labels, boxes, buttons and the hints of its check boxes.
    EXPECT_EQ(Tasks_form->PageControl1->tabText(0), de[110]);
    EXPECT_EQ(Tasks_form->PageControl1->tabText(1), de[111]);
    EXPECT_EQ(Caption(Tasks_form, "Label1"), de[112]);
    EXPECT_EQ(Caption(Tasks_form, "Label2"), de[113]);
    EXPECT_EQ(Caption(Tasks_form, "Label10"), de[135]);
    EXPECT_EQ(Tasks_form->CheckBox_Ping_check->text(), de[120]);
    EXPECT_EQ(Tasks_form->CheckBox_Alarm->text(), de[127]);
    EXPECT_EQ(Tasks_form->BitBtn4->text(), de[124]);
    EXPECT_EQ(Tasks_form->BitBtn5->text(), de[124]);
    EXPECT_EQ(Tasks_form->BitBtn2->text(), de[137]);
    EXPECT_EQ(Tasks_form->CheckBox_Ping_check->toolTip(), de[370]);
    EXPECT_EQ(Tasks_form->CheckBox_SNMP_check->toolTip(), de[371]);
    EXPECT_EQ(Tasks_form->Http_CheckBox->toolTip(), de[372]);

    // The bulk dialogs share the host dialog's lines where their boxes read the same.
    EXPECT_EQ(Multiple_hosts_edit_form->CheckBox_Ping_check1->text(), de[120]);
    EXPECT_EQ(Multiple_hosts_edit_form->CheckBox_Alarm1->text(), de[127]);
    EXPECT_EQ(Multiple_hosts_edit_form->Label1->text(), de[185]);
    EXPECT_EQ(Multiple_hosts_edit_form->BitBtn1->text(), de[186]);
    EXPECT_EQ(Multiple_hosts_edit_form->BitBtn2->text(), de[137]);
    EXPECT_EQ(Add_M_hosts->windowTitle(), de[138]);
    EXPECT_EQ(Add_M_hosts->PageControl1->tabText(1), de[143]);
    EXPECT_EQ(Caption(Add_M_hosts, "GroupBox1"), de[140]);
    EXPECT_EQ(Caption(Add_M_hosts, "Label8"), de[152]);
    EXPECT_EQ(Add_M_hosts->Browse_button->text(), de[68]);
    EXPECT_EQ(Add_M_hosts->CheckBox_loops->text(), de[130]);
    EXPECT_EQ(Add_M_hosts->BitBtn1->text(), de[250]);

    // The notification settings: title, the two shown tabs, the field captions and the buttons.
    EXPECT_EQ(Email_settings_form->windowTitle(), de[162]);
    EXPECT_EQ(Email_settings_form->PageControl1->tabText(0), de[163]);
    EXPECT_EQ(Email_settings_form->PageControl1->tabText(2), de[164]);
    EXPECT_EQ(Caption(Email_settings_form, "Label_Email_Edit"), de[165]);
    EXPECT_EQ(Email_settings_form->RadioButton_specific_server->text(), de[167]);
    EXPECT_EQ(Caption(Email_settings_form, "Label_Pass_Edit"), de[171]);
    EXPECT_EQ(Email_settings_form->CheckBox_SSL->text(), de[175]);
    EXPECT_EQ(Caption(Email_settings_form, "Label_ICQ_UIN_Edit"), de[176]);
    EXPECT_EQ(Caption(Email_settings_form, "Label_ICQ_Password_Edit"), de[177]);
    EXPECT_EQ(Email_settings_form->Send_test_Email_Button->text(), de[178]);

    EXPECT_EQ(SoundDisableForm->Label1->text(), de[237]);
    EXPECT_EQ(SoundDisableForm->BitBtn2->text(), de[239]);
    EXPECT_EQ(Types_form->windowTitle(), de[244]);
    EXPECT_EQ(Types_form->GroupBox1->title(), de[245]);
    EXPECT_EQ(Header(Types_form->DataGrid1View, "Type_name"), de[246]);
    EXPECT_EQ(Types_form->Add_->text(), de[407]);
    EXPECT_EQ(Types_form->Edit_b->text(), de[32]);
    EXPECT_EQ(About_f->windowTitle(), de[394]);
    EXPECT_EQ(About_f->GroupBox1->title(), de[394]);
    EXPECT_EQ(Logs->GroupBox1->title(), de[260]);
    EXPECT_EQ(Logs->BitBtn2->text(), de[104]); // the viewer's clear button
    EXPECT_EQ(Header(Logs->Logs_gridView, "DTime"), de[95]);
    EXPECT_EQ(Header(Logs->Logs_gridView, "L_Status"), de[98]);

    // Back to English: the dialogs read as they were built.
    Column_Form->ApplyLanguage(QStringLiteral("English"));
    EXPECT_EQ(Email_settings_form->windowTitle(), "Email notifications");
    EXPECT_EQ(Tasks_form->PageControl1->tabText(0), "Host info:");
    EXPECT_EQ(Logs->BitBtn2->text(), en[104]);
}

TEST_F(DialogLanguages, EveryDialogPageFitsItsCaptionsInEachLanguage) {
    for (const char* language : {"English", "German", "Russian"}) {
        Column_Form->ApplyLanguage(QString::fromLatin1(language));
        const QString folder =
            QDir::currentPath() + QStringLiteral("/dialog_shots/") + QLatin1String(language);
        QDir().mkpath(folder);
        for (QWidget* dialog : Dialogs()) {
            dialog->show();
            QApplication::processEvents();
            auto* pages = dialog->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
            const int count = pages ? pages->count() : 1;
            for (int page = 0; page < count; ++page) {
                if (pages && !pages->isTabVisible(page) && pages->tabBar()->isVisible())
                    continue;
                if (pages)
                    pages->setCurrentIndex(page);
                QApplication::processEvents();
                const QString name =
                    dialog->objectName() + (pages ? QStringLiteral("_%1").arg(page) : QString());
                dialog->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
                const QStringList misfits = Misfits(*dialog);
                EXPECT_TRUE(misfits.isEmpty()) << language << ":\n" << misfits.join('\n').toStdString();
            }
            dialog->hide();
        }
    }
}

} // namespace
