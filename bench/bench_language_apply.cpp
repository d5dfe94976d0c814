// Figures of a language switch: the column dialog's ApplyLanguage over every window the program
// builds, German and English alternately, with an empty host table and with 1,000 hosts whose
// status words are carried over (outside and inside the long transaction); its parts (reading the file, the
// target table alone); and the anchor of the same number of bare label texts set in one window.
#include "core/DataFolder.h"
#include "core/DatabaseSchema.h"
#include "core/LangTexts.h"
#include "core/SQLiteDb.h"
#include "tests/support/TestSupport.h"
#include "ui/main/LanguageTargets.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSwitches = 40;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The language files as shipped, from the source tree (the build's copy may be older).
QString ShippedLanguages() {
    return QString::fromStdString(zt::test::SourcePath("Data/lang_files"));
}

// A Data folder with the shipped language files and a database of Hosts hosts, every fourth down.
bool MakeDataFolder(const QString& Folder, int Hosts) {
    QDir().mkpath(Folder + QStringLiteral("/lang_files"));
    for (const char* name : {"English", "German", "Russian"})
        if (!QFile::copy(ShippedLanguages() + QLatin1Char('/') + QLatin1String(name),
                         Folder + QStringLiteral("/lang_files/") + QLatin1String(name)))
            return false;
    TSQLiteDatabase db(Folder + QStringLiteral("/dbm.db"));
    CreateMissingTables(db);
    db.StartTransaction();
    db.ExecuteStatement(
        QStringLiteral("insert into list_group (Name,N_group,parent_id) values ('All',1,'')"));
    for (int h = 1; h <= Hosts; ++h)
        db.ExecuteStatement(
            QStringLiteral("insert into hosts (id,host,IP,Status,Enabled,Ping_check,Alarm_en,N_group,"
                           "Kol_vo_p,ICMP_kol_vo_p,ICMP_Status,Http_check,Http_Kol_vo,Http_Status,"
                           "SNMP_check) values (?,?,?,?,'-1','0','0',1,'0','0','','0',0,'','0')"),
            {QString::number(h), QStringLiteral("host-%1").arg(h), QStringLiteral("127.0.0.1"),
             h % 4 == 0 ? QStringLiteral("Down") : QStringLiteral("OK")});
    db.CommitTransaction();
    return true;
}

struct TFigures {
    double Median = 0, Min = 0, Max = 0;
};

TFigures Summary(std::vector<double> Times) {
    std::sort(Times.begin(), Times.end());
    return {Times[Times.size() / 2], Times.front(), Times.back()};
}

void Print(const char* What, const TFigures& F) {
    std::printf("  %-62s median %7.2f ms   min %7.2f   max %7.2f\n", What, F.Median, F.Min, F.Max);
}

// The program's windows on a Data folder of Hosts hosts; German and English applied alternately.
void SwitchFigures(const QString& Folder, int Hosts) {
    if (!MakeDataFolder(Folder, Hosts)) {
        std::printf("  the language files are not in %s: build the program first\n",
                    qPrintable(ShippedLanguages()));
        return;
    }
    SetDataFolder(Folder);
    CreateForms();
    if (!Column_Form) {
        std::printf("  the windows were not created\n");
        return;
    }
    // Posted events (layout, paint) are delivered after each switch, timers never: the program's
    // start timers would begin monitoring and cycle the transaction in the middle of the figures.
    std::vector<double> full, inTransaction, load, targets;
    // As at start-up, before the first transaction opens: each carried-over status word is its own write.
    for (int i = 0; i < kSwitches; ++i) {
        const QString name = i % 2 == 0 ? QStringLiteral("German") : QStringLiteral("English");
        const auto a = Clock::now();
        Column_Form->ApplyLanguage(name);
        full.push_back(Ms(a, Clock::now()));
        QCoreApplication::sendPostedEvents();
    }
    // As when the options are saved while the program runs: inside the long transaction.
    MonitorDatabase.StartTransaction();
    for (int i = 0; i < kSwitches; ++i) {
        const QString name = i % 2 == 0 ? QStringLiteral("German") : QStringLiteral("English");
        const auto a = Clock::now();
        Column_Form->ApplyLanguage(name);
        inTransaction.push_back(Ms(a, Clock::now()));
        QCoreApplication::sendPostedEvents();
    }
    MonitorDatabase.CommitTransaction();
    // The parts on their own, switching as well: the status words stay as the last full switch left them.
    for (int i = 0; i < kSwitches; ++i) {
        const QString name = i % 2 == 0 ? QStringLiteral("German") : QStringLiteral("English");
        auto a = Clock::now();
        int lines = 0;
        LangTexts::Load(DataFolder(), name, &lines);
        load.push_back(Ms(a, Clock::now()));
        a = Clock::now();
        ApplyLangTargetsToAllWindows(*LangTexts::Snapshot(), lines);
        targets.push_back(Ms(a, Clock::now()));
        QCoreApplication::sendPostedEvents();
    }
    std::printf("%d hosts in the host table%s, %d switches:\n", Hosts,
                Hosts > 0 ? " (every fourth down)" : "", kSwitches);
    Print("ApplyLanguage (list, load, every target, status words)", Summary(full));
    Print("ApplyLanguage inside the long transaction", Summary(inTransaction));
    Print("  of it: reading the file (LangTexts::Load)", Summary(load));
    Print("  of it: the target table alone (ApplyLangTargetsToAllWindows)", Summary(targets));
    DestroyForms();
    MonitorDatabase.Close();
    SetDataFolder(QString());
}

// The anchor: as many labels as the table has rows, in one shown window, their texts set directly.
void AnchorFigure() {
    const int count = static_cast<int>(LangTargets().size());
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    std::vector<QLabel*> labels;
    for (int i = 0; i < count; ++i) {
        labels.push_back(new QLabel(QStringLiteral("English %1").arg(i), &window));
        layout->addWidget(labels.back());
    }
    window.show();
    std::vector<double> times;
    for (int i = 0; i < kSwitches; ++i) {
        const QString text = i % 2 == 0 ? QStringLiteral("Deutsch %1") : QStringLiteral("English %1");
        const auto a = Clock::now();
        for (int k = 0; k < count; ++k)
            labels[k]->setText(text.arg(k));
        times.push_back(Ms(a, Clock::now()));
        QCoreApplication::sendPostedEvents();
    }
    std::printf("anchor, %d switches:\n", kSwitches);
    char what[96];
    std::snprintf(what, sizeof what, "%d QLabel::setText in one shown window (one per table row)", count);
    Print(what, Summary(times));
}

} // namespace

// The offscreen platform's remark on every window that sets size hints says nothing here.
void QuietMessages(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
    if (!Text.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(Type, Context, Text)));
}

int main(int argc, char** argv) {
    qInstallMessageHandler(QuietMessages);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A first start takes the system's language; the figures start from English.
    setenv("LANG", "C.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setFont(QFont("DejaVu Sans", 9));
    QApplication::setQuitOnLastWindowClosed(false);
    std::printf(
        "Language switch on the %s platform, Fusion style, DejaVu Sans 9; every window of the program\n"
        "created by CreateForms() (the main window shown, as at a first start); the shipped files;\n"
        "%zu rows in the target table\n",
        qPrintable(QGuiApplication::platformName()), LangTargets().size());
    QTemporaryDir dir;
    SwitchFigures(dir.filePath(QStringLiteral("empty")), 0);
    SwitchFigures(dir.filePath(QStringLiteral("hosts")), 1000);
    AnchorFigure();
    return 0;
}
