// The alert popups on a screen: where the down popup comes to rest, the up popup stacked above it,
// and the text they copy.
#include "core/AlertPopupLogic.h"
#include "core/HostGridColumns.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "tests/support/TestSupport.h"
#include "ui/main/LanguageTargets.h"
#include "ui/main/alert_w.h"
#include "ui/main/alert_w_up.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

void Save(QWidget& widget, const char* name) {
    if (const char* dir = std::getenv("ZT_SCREENSHOTS")) {
        widget.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name));
    }
}

// Runs the slide-in timer until the popup has come to rest; bounded in ticks.
void WaitUntilResting(TSlidePopup& Popup) {
    for (int i = 0; i < 1000 && (!Popup.isVisible() || Popup.Timer2.isActive()); ++i) {
        QTest::qWait(10);
    }
}

// One event listed as the dispatcher lists it: newest first.
void ListEvent(TDataGrid& Grid, const QString& Host, const QString& Id, const QString& State) {
    using namespace PopupColumn;
    Grid.InsertRow(0);
    Grid.Cell(PopupColumn::Host, 0).SetAsString(Host);
    Grid.Cell(ID_, 0).SetAsString(Id);
    Grid.Cell(Time_d, 0).SetAsString(QStringLiteral("09.12.2026 07:30:00"));
    if (Grid.ColumnIndex(State_) >= 0) {
        Grid.Cell(State_, 0).SetAsString(State);
    }
}

class AlertPopups : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        Alert_window = &Down;
        Alert_window_up = &Up;
        Down.FormCreate();
        Up.SetDownPopup(&Down);
        Up.FormCreate();
    }
    void TearDown() override {
        Down.hide();
        Up.hide();
        QApplication::processEvents();
        Services.Channels().SetPopups(nullptr);
        Alert_window = nullptr;
        Alert_window_up = nullptr;
    }
    TMonitorServices Services{MonitorDatabase, QString()};
    TAlert_window Down{Services};
    TAlert_window_up Up{Services};
};

} // namespace

TEST_F(AlertPopups, DownRestsAtTheBottomRightAndUpStacksAboveIt) {
    IAlertPopups& popups = Services.Channels().Popups();
    ListEvent(popups.DownPopupGrid(), QStringLiteral("Сервер \"web\""), QStringLiteral("7"),
              QStringLiteral("Down"));
    popups.PopupRowsListed();
    ASSERT_TRUE(popups.ShowDownPopup());
    WaitUntilResting(Down);
    ASSERT_FALSE(Down.Timer2.isActive());
    EXPECT_TRUE(popups.DownPopupShown());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect down = Down.frameGeometry();
    // Wider when the list's texts need it.
    EXPECT_GE(down.width(), AlertPopupWidth);
    EXPECT_EQ(down.height(), AlertPopupHeight);
    EXPECT_EQ(down.right(), screen.right() - 3);
    // All but the few pixels the rest rule leaves below the work area are on the screen.
    EXPECT_GE(down.top(), work.top());
    EXPECT_LE(down.bottom(), work.bottom() + 3);
    EXPECT_GT(down.bottom(), work.bottom() - 10);
    // Every caption fits its button.
    for (QPushButton* button : {Down.BitBtn6, Down.BitBtn1, Down.BitBtn2}) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    Save(Down, "AlertDown.png");

    ListEvent(popups.UpPopupGrid(), QStringLiteral("printer"), QStringLiteral("8"), QStringLiteral("OK"));
    popups.PopupRowsListed();
    ASSERT_TRUE(popups.ShowUpPopup());
    WaitUntilResting(Up);
    ASSERT_FALSE(Up.Timer2.isActive());
    const QRect up = Up.frameGeometry();
    EXPECT_EQ(up.right(), down.right());
    // Stacked: it rests above the down popup, overlapping it by its 2-pixel border at most.
    EXPECT_LE(up.bottom(), down.top() + 2);
    EXPECT_GT(up.bottom(), down.top() - 10);
    Save(Up, "AlertUp.png");
}

TEST_F(AlertPopups, ClipboardTextHasTheHeadingAndTheListedHost) {
    IAlertPopups& popups = Services.Channels().Popups();
    ListEvent(popups.DownPopupGrid(), QStringLiteral("Сервер \"web\""), QStringLiteral("7"),
              QStringLiteral("Down"));
    const QString text = Down.ClipboardText();
    EXPECT_TRUE(text.startsWith(LangText(AlertDownHeadingLine))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Сервер \"web\""))) << text.toStdString();
    EXPECT_EQ(text.count(QLatin1Char('\n')), 1) << text.toStdString();
}

// In German at the popups' own size: headers from the language, numbers from 1, host and state
// texts whole inside the list, buttons in German.
TEST_F(AlertPopups, BothListsReadWholeWithHeadersAndNumbersInGerman) {
    const std::string bytes = zt::test::ReadFile(zt::test::SourcePath("Data/lang_files/German"));
    const QStringList de =
        QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).split(QStringLiteral("\r\n"));
    for (TSlidePopup* popup : {static_cast<TSlidePopup*>(&Down), static_cast<TSlidePopup*>(&Up)}) {
        ApplyLangTargets(*popup, LangTextTable::BuiltInEnglish()->WithLines(de), LangTextCount);
        TDataGrid& grid = *popup->ShowGrid;
        for (int i = 0; i < 3; ++i) {
            ListEvent(grid, "23:07:55 - charlieprinter, 127.0.0.9", QString::number(i),
                      "ICMP-Prüfung fehlgeschlagen!");
            grid.Cell(AlertColumn::Time_d, 0).SetAsString(QString()); // in the host text, as listed
        }
        popup->ListChanged();
        popup->show();
        Save(*popup, popup == &Down ? "down_german.png" : "up_german.png");
        EXPECT_EQ(QStringList({popup->BitBtn6->text(), popup->BitBtn1->text()}),
                  QStringList({de[34], de[384]}));
        QStringList shown;
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            if (!grid.Columns().GetColumn(c)->Visible())
                continue;
            shown << grid.Columns().GetColumn(c)->Header().Caption() + '=' + grid.GetCellDisplayText(c, 2);
            const QRect cell = popup->ShowGridView->CellRect(c, 0);
            EXPECT_LE(cell.right(), popup->ShowGridView->BodyRect().right());
            EXPECT_GE(cell.width(),
                      popup->ShowGridView->fontMetrics().horizontalAdvance(grid.Cell(c, 0).GetAsString()));
        }
        // The time is part of the host text, so its empty column gives its room away.
        const QString down =
            QStringLiteral(",ID=0,") + de[52] + QStringLiteral("=ICMP-Prüfung fehlgeschlagen!");
        EXPECT_EQ(shown.join(','), de[383] + "=3," + de[47] + "=23:07:55 - charlieprinter, 127.0.0.9" +
                                       (popup == &Down ? down : QString()));
        popup->hide();
    }
}
