// The settings dialog on a temporary Data folder and program log, with the message-box and
// input-box seams answered by the test.
#pragma once

#include "core/DataFolder.h"
#include "core/DatabaseSchema.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/Email_settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

class EmailSettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(Dir.path()));
        MonitorDatabase.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(MonitorDatabase);
        SetMessageBoxHandler([this](const QString&, const QString& text) { Boxes << text; });
        SetInputBoxHandler([this](const QString& caption, const QString& prompt, const QString&) {
            Asked << caption << prompt;
            return Answer;
        });
        Form = std::make_unique<TEmail_settings_form>(Services);
        Email_settings_form = Form.get();
    }
    void TearDown() override {
        Email_settings_form = nullptr;
        Form.reset();
        SetInputBoxHandler(nullptr);
        SetMessageBoxHandler(nullptr);
        MonitorDatabase.Close();
        SetDataFolder(QString());
    }
    QStringList Log() {
        QStringList lines;
        auto t = MonitorDatabase.OpenResultTable("select Status from program_log order by ID");
        for (; !t->AtEnd(); t->NextRow()) {
            lines << t->FieldTextOrEmpty(0);
        }
        return lines;
    }
    // The specific server on loopback.
    void UseServer(int Port, bool Ssl = false, bool Auth = false) {
        Form->RadioButton_specific_server->setChecked(true);
        Form->Smtp_Edit->setText("127.0.0.1");
        Form->Edit_port->setValue(Port);
        Form->Edit_user_email->setText("alerts@mail.example");
        Form->Pass_Edit->setText("Secret-42");
        Form->CheckBox_SSL->setChecked(Ssl);
        Form->CheckBox_SMTP_auth->setChecked(Auth);
        Form->SetMailTimeouts(3000, 3000);
    }

    zt::test::TempDir Dir;
    TMonitorServices Services{MonitorDatabase, QString()};
    std::unique_ptr<TEmail_settings_form> Form;
    QStringList Boxes;
    QStringList Asked;
    std::optional<QString> Answer;
};
