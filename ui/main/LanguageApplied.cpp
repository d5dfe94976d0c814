// What a language switch makes again in the main window besides the table's captions.
#include "core/LangTexts.h"
#include "core/LanguageSwitch.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/StatusPanels.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "ui/main/HostPageView.h"
#include "ui/main/LanguageTargets.h"
#include "ui/main/SoundControls.h"
#include "ui/main/StatusView.h"
#include "ui/main/main_form.h"

#include <QFontMetrics>
#include <QHash>
#include <QList>
#include <QVariant>
#include <algorithm>

namespace {

// Column widths follow the layout file or the operator, widened where a caption (or, for Status,
// a state word) of the current language needs more. A switch back from a language with long
// words therefore returns the columns to the width asked before, instead of keeping the wide ones
// that push others out of view. The asked and the shown widths are kept on the view per column:
// a width that is neither was set by the operator and becomes the asked one.
void ReturnWidenedColumns(QWidget& Window, const LangTextTable& Old, const LangTextTable& New) {
    QHash<TGxCustomColumn*, QList<int>> lines;
    QHash<TGxCustomColumn*, TGxGridView*> views;
    for (const TLangTarget& target : LangTargets()) {
        if (target.Property != lpHeader || Window.objectName() != QLatin1String(target.Window))
            continue;
        auto* view = Window.findChild<TGxGridView*>(QLatin1String(target.Control));
        TGxCustomColumn* column =
            view ? view->Grid().Columns().ColumnByName(QLatin1String(target.Column)) : nullptr;
        if (!column)
            continue;
        if (!lines.contains(column) && QLatin1String(target.Column) == QLatin1String("Status"))
            lines[column] << 277 << 278 << 279 << 280 << 281 << 399;
        lines[column] << target.Line;
        views[column] = view;
    }
    for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
        TGxCustomColumn& column = *it.key();
        TGxGridView& view = *views[it.key()];
        const QFontMetrics metrics(view.font());
        int oldNeed = 0;
        int newNeed = 0;
        for (int line : it.value()) {
            oldNeed = std::max(oldNeed, metrics.horizontalAdvance(Old.Text(line)) + 16);
            newNeed = std::max(newNeed, metrics.horizontalAdvance(New.Text(line)) + 16);
        }
        const QByteArray askedKey = "askedWidth:" + column.Name().toUtf8();
        const QByteArray shownKey = "shownWidth:" + column.Name().toUtf8();
        const QVariant asked = view.property(askedKey.constData());
        const QVariant shown = view.property(shownKey.constData());
        const int now = column.Width();
        int want = now;
        if (asked.isValid() && (now == shown.toInt() || now == newNeed))
            want = asked.toInt(); // unchanged since the last switch, or widened by this one
        else if (!asked.isValid() && now == oldNeed && newNeed < oldNeed)
            want = newNeed; // widened by a language before the first switch seen here
        const int width = std::max({want, newNeed, column.MinWidth()});
        if (width != now)
            column.SetWidth(width);
        view.setProperty(askedKey.constData(), want);
        view.setProperty(shownKey.constData(), width);
    }
}

} // namespace

void TForm1::LanguageApplied(const LangTextTable& Old, const LangTextTable& New) {
    // The program's message and input boxes speak the language too.
    SetMessageBoxTexts(LangText(392), LangText(136));
    SetInputBoxButtonTexts(LangText(136), LangText(137));
    ReturnWidenedColumns(*this, Old, New);
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
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->ToolsLanguageApplied();
    }
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
