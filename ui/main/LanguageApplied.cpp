// What a language switch makes again in the main window besides the table's captions.
#include "core/LangTexts.h"
#include "core/LanguageSwitch.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/StatusPanels.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "ui/dialogs/ToolChartPages.h"
#include "ui/dialogs/Unit_tracert.h"
#include "ui/main/HostPageView.h"
#include "ui/main/SoundControls.h"
#include "ui/main/StatusView.h"
#include "ui/main/main_form.h"

void TForm1::LanguageApplied(const LangTextTable& Old, const LangTextTable& New) {
    // The program's message and input boxes speak the language too.
    SetMessageBoxTexts(LangText(392), LangText(136));
    SetInputBoxButtonTexts(LangText(136), LangText(137));
    if (FHostPage)
        FHostPage->LanguageApplied();
    if (FSound)
        FSound->ShowLook();
    if (FStatus) {
        FStatus->ShowStartStopState();
        // The monitoring state word is otherwise written only when monitoring starts or stops.
        const QString shown = FStatus->StatusPanel(TStatusPanel::MonitoringState);
        if (shown == Old.Text(305))
            FStatus->SetStatusPanel(TStatusPanel::MonitoringState, New.Text(305), PanelColourBlack);
        else if (shown == Old.Text(304))
            FStatus->SetStatusPanel(TStatusPanel::MonitoringState, New.Text(304), PanelColourRed);
    }
    if (Ping_tracert_form) {
        Ping_tracert_form->TranslateCaptions();
        Ping_tracert_form->Charts().FillPeriodBox();
    }
    if (!FServices)
        return;
    // Stored too, so the next start in this language finds the words it compares with.
    const std::vector<TTranslatedCell> cells = TranslateHostStatusWords(FServices->DataGrid1(), Old, New);
    if (cells.empty())
        return;
    // One commit for all of them when the long transaction is not open (monitoring stopped):
    // a commit per cell would take seconds with many hosts down.
    TSQLiteDatabase& database = FServices->Database();
    const bool own = database.IsOpen() && !database.InTransaction();
    RunDatabaseStep("Translating the status words", [&] {
        if (own)
            database.StartTransaction();
        for (const TTranslatedCell& cell : cells)
            FServices->HostStore().UpdateHost({cell.Column}, {cell.Text}, cell.Kod);
    });
    // What was written stays, also when a later write failed.
    if (own && database.InTransaction())
        RunDatabaseStep("Translating the status words", [&] { database.CommitTransaction(); });
}
