// Column kinds of the table control.
#include "grid/GxColumnClasses.h"
#include "grid/GxConvert.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>

// ---- text -----------------------------------------------------------------------------------

TGxTextColumn::TGxTextColumn() {
    SetOptions(TextColumnOptions);
    SetCellKind(ckString);
}

void TGxTextColumn::SetMaxLength(int value) {
    FMaxLength = value;
    RefreshPart(cpBody);
}
void TGxTextColumn::SetMultiLine(bool value) {
    FMultiLine = value;
    RefreshPart(cpBody);
}
void TGxTextColumn::SetPasswordChar(QChar value) {
    FPasswordChar = value;
    RefreshPart(cpBody);
}
void TGxTextColumn::SetTextAfter(const QString& value) {
    FTextAfter = value;
    RefreshPart(cpBody);
}
void TGxTextColumn::SetTextBefore(const QString& value) {
    FTextBefore = value;
    RefreshPart(cpBody);
}

int TGxTextColumn::MeasureTextWidth(const QString& text) const {
    return (Display() ? Display()->TextWidth(text) : int(text.size()) * 7) + 5;
}

void TGxTextColumn::GetDisplayText(const TCellInfo& info, QString& text) const {
    text = FTextBefore + info.AsString + FTextAfter;
    if (!FPasswordChar.isNull())
        text = QString(text.size(), FPasswordChar);
}

void TGxTextColumn::PrepareEditor(TEditorSetup& setup) const {
    TGxCustomColumn::PrepareEditor(setup);
    setup.EmbeddedInGrid = true;
    setup.MaxLength = FMaxLength;
    setup.PasswordChar = FPasswordChar;
}

void TGxTextColumn::Assign(const TGxCustomColumn& source) {
    TGxCustomColumn::Assign(source);
    auto* s = dynamic_cast<const TGxTextColumn*>(&source);
    if (!s)
        return;
    FMaxLength = s->FMaxLength;
    FMultiLine = s->FMultiLine;
    FPasswordChar = s->FPasswordChar;
    FTextAfter = s->FTextAfter;
    FTextBefore = s->FTextBefore;
}

// ---- strings and list -----------------------------------------------------------------------

void TGxStringsColumn::PrepareEditor(TEditorSetup& setup) const {
    TGxTextColumn::PrepareEditor(setup);
    setup.AutoDropDown = FAutoDropDown;
    setup.DropDownCount = FDropDownCount;
    setup.Items = FItems;
    setup.ListWidth = FListWidth;
    setup.ShowPreview = FDisplayMode != dmTextOnly;
}

void TGxStringsColumn::Assign(const TGxCustomColumn& source) {
    TGxTextColumn::Assign(source);
    if (auto* s = dynamic_cast<const TGxStringsColumn*>(&source)) {
        FDropDownCount = s->FDropDownCount;
        FItems = s->FItems;
    }
}

TGxListColumn::TGxListColumn() {
    SetDefaultValue(QStringLiteral("0"));
    SetSortType(stNumeric);
    SetCellKind(ckInteger);
}

void TGxListColumn::GetDisplayText(const TCellInfo& info, QString& text) const {
    text.clear();
    if (info.AsInteger >= 0 && info.AsInteger < Items().size())
        text = TextBefore() + Items()[info.AsInteger] + TextAfter();
}

bool TGxListColumn::AcceptsChar(QChar key) const {
    const QChar folded = key.toCaseFolded();
    for (const QString& item : Items())
        if (!item.isEmpty() && item[0].toCaseFolded() == folded)
            return true;
    return false;
}

void TGxListColumn::PrepareEditor(TEditorSetup& setup) const {
    TGxStringsColumn::PrepareEditor(setup);
    setup.Style = dsDropDownList;
    setup.SortedItems = FItemsSorted;
}

void TGxListColumn::SyncEditor(TEditorSetup& setup, const QString& text) const {
    setup.ItemIndex = text.isEmpty() ? 0 : int(setup.Items.indexOf(text));
}

bool TGxListColumn::GetEditorValue(QString& text) const {
    text.clear();
    const TGxCustomEdit* editor = InplaceEdit() ? InplaceEdit() : Editor();
    // An editor that is no combo box has no item index: the cell keeps its value.
    if (editor && editor->IsComboBox())
        text = QString::number(editor->ItemIndex());
    return true;
}

void TGxListColumn::GetInputText(QString& text) const {
    text.clear();
    if (InputValue().isEmpty())
        return;
    const auto index = TryTextToInt(InputValue());
    if (index && *index >= 0 && *index < Items().size())
        text = Items()[*index];
}

// ---- date -----------------------------------------------------------------------------------

TGxDateColumn::TGxDateColumn() {
    FTodayDefault = DateTimeToText(TodayDate(), Locale(), true);
    SetDefaultValue(FTodayDefault);
    SetSortType(stDate);
    SetCellKind(ckDateTime);
}

void TGxDateColumn::LocaleChanged() {
    // Today's date as default follows the grid's locale; a default set by the program stays.
    if (DefaultValue() != FTodayDefault)
        return;
    FTodayDefault = DateTimeToText(TodayDate(), Locale(), true);
    SetDefaultValue(FTodayDefault);
}

void TGxDateColumn::SetEmptyCaption(const QString& value) {
    FEmptyCaption = value;
    RefreshPart(cpBody);
}
void TGxDateColumn::SetFormatMask(const QString& value) {
    FFormatMask = value;
    RefreshPart(cpBody);
}
void TGxDateColumn::SetHideWhenEmpty(bool value) {
    FHideWhenEmpty = value;
    RefreshPart(cpBody);
}

void TGxDateColumn::GetDisplayText(const TCellInfo& info, QString& text) const {
    if (info.AsDateTime == 0 && FHideWhenEmpty) {
        text = FEmptyCaption;
        return;
    }
    const QString body = FFormatMask.isEmpty()
                             ? DateTimeToText(info.AsDateTime, Locale(), false)
                             : FormatDateTimeMask(FFormatMask, info.AsDateTime, Locale(), FDateSeparator);
    text = TextBefore() + body + TextAfter();
}

bool TGxDateColumn::AcceptsChar(QChar key) const {
    return (key >= u'0' && key <= u'9') || key == FDateSeparator;
}

void TGxDateColumn::PrepareEditor(TEditorSetup& setup) const {
    TGxPopupColumn::PrepareEditor(setup);
    setup.ShowNoneButton = FShowNoneButton;
    setup.Style = dsDropDown;
    setup.StartDay = FStartDay;
    setup.NoneCaption = FNoneCaption;
    setup.TodayCaption = FTodayCaption;
}

// ---- numbers --------------------------------------------------------------------------------

TGxCustomNumberColumn::TGxCustomNumberColumn() {
    SetDefaultValue(QStringLiteral("0"));
    SetSortType(stNumeric);
    SetCellKind(ckFloat);
}

void TGxCustomNumberColumn::SetEmptyCaption(const QString& value) {
    FEmptyCaption = value;
    RefreshPart(cpBody);
}
void TGxCustomNumberColumn::SetFormatMask(const QString& value) {
    FFormatMask = value;
    RefreshPart(cpBody);
}
void TGxCustomNumberColumn::SetHideWhenEmpty(bool value) {
    FHideWhenEmpty = value;
    RefreshPart(cpBody);
}
void TGxCustomNumberColumn::SetTextAfter(const QString& value) {
    FTextAfter = value;
    RefreshPart(cpBody);
}
void TGxCustomNumberColumn::SetTextBefore(const QString& value) {
    FTextBefore = value;
    RefreshPart(cpBody);
}

void TGxCustomNumberColumn::GetDisplayText(const TCellInfo& info, QString& text) const {
    // A column of integer cells carries its values in AsInteger; AsFloat stays 0 there.
    const double value = CellKind() == ckInteger ? double(info.AsInteger) : info.AsFloat;
    if (FHideWhenEmpty && value == 0) {
        text = FEmptyCaption;
        return;
    }
    const QString body =
        FFormatMask.isEmpty() ? FloatToText(value, Locale()) : FormatFloatMask(FFormatMask, value, Locale());
    text = FTextBefore + body + FTextAfter;
}

bool TGxCustomNumberColumn::AcceptsChar(QChar key) const {
    if (key >= u'0' && key <= u'9')
        return true;
    if ((key == u'+' || key == u'-') && (FEditOptions & eoAllowSigns))
        return true;
    return (FEditOptions & eoAllowFloat) && Locale().decimalPoint() == QString(key);
}

void TGxCustomNumberColumn::PrepareEditor(TEditorSetup& setup) const {
    TGxCustomColumn::PrepareEditor(setup);
    setup.EditOptions = FEditOptions;
    setup.Max = FMax;
    setup.Min = FMin;
}

void TGxCustomNumberColumn::Assign(const TGxCustomColumn& source) {
    TGxCustomColumn::Assign(source);
    auto* s = dynamic_cast<const TGxCustomNumberColumn*>(&source);
    if (!s)
        return;
    FEmptyCaption = s->FEmptyCaption;
    FFormatMask = s->FFormatMask;
    FHideWhenEmpty = s->FHideWhenEmpty;
    FMax = s->FMax;
    FMin = s->FMin;
    FTextAfter = s->FTextAfter;
    FTextBefore = s->FTextBefore;
}

TGxNumberColumn::TGxNumberColumn() {
    SetAlignment(taRightJustify);
}

void TGxNumberColumn::PrepareEditor(TEditorSetup& setup) const {
    TGxCustomNumberColumn::PrepareEditor(setup);
    setup.Increment = FIncrement;
    setup.SpinButtons = FSpinButtons;
}

void TGxNumberColumn::SyncEditor(TEditorSetup& setup, const QString&) const {
    setup.Precision = FPrecision;
}

void TGxNumberColumn::Assign(const TGxCustomColumn& source) {
    TGxCustomNumberColumn::Assign(source);
    if (auto* s = dynamic_cast<const TGxNumberColumn*>(&source)) {
        FIncrement = s->FIncrement;
        FSpinButtons = s->FSpinButtons;
    }
}

// ---- check box, increment, image, tree ------------------------------------------------------

TGxCheckBoxColumn::TGxCheckBoxColumn() {
    SetSortType(stBoolean);
    SetCellKind(ckBoolean);
}

TGxIncrementColumn::TGxIncrementColumn() {
    SetCellKind(ckIncrement);
}

void TGxIncrementColumn::GetDisplayText(const TCellInfo& info, QString& text) const {
    text = QString::number(int64_t(info.AsInteger) + 1);
}

TGxImageColumn::TGxImageColumn() {
    SetDefaultValue(QStringLiteral("0"));
    SetSortType(stNumeric);
    SetCellKind(ckInteger);
}

void TGxImageColumn::Assign(const TGxCustomColumn& source) {
    TGxCustomColumn::Assign(source);
    if (auto* s = dynamic_cast<const TGxImageColumn*>(&source))
        FImages = s->FImages;
}

TGxTreeColumn::TGxTreeColumn() {
    SetCellKind(ckString);
}

void TGxTreeColumn::SetHighlightButton(bool value) {
    FHighlightButton = value;
    RefreshPart(cpClient);
}
void TGxTreeColumn::SetImages(const TImageListRef& value) {
    FImages = value;
    RefreshPart(cpClient);
}
void TGxTreeColumn::SetShowButtons(bool value) {
    FShowButtons = value;
    RefreshPart(cpClient);
}
void TGxTreeColumn::SetShowLines(bool value) {
    FShowLines = value;
    RefreshPart(cpClient);
}

void TGxTreeColumn::GetContentIndent(int level, int& left) const {
    left = level * 19 + left + 16;
    if (FImages.Assigned())
        left += FImages.Width;
}

// ---- factory --------------------------------------------------------------------------------

std::unique_ptr<TGxCustomColumn> CreateGridColumn(TGxColumnKind kind) {
    switch (kind) {
    case TGxColumnKind::Text:
        return std::make_unique<TGxTextColumn>();
    case TGxColumnKind::CheckBox:
        return std::make_unique<TGxCheckBoxColumn>();
    case TGxColumnKind::Number:
        return std::make_unique<TGxNumberColumn>();
    case TGxColumnKind::CustomNumber:
        return std::make_unique<TGxCustomNumberColumn>();
    case TGxColumnKind::Increment:
        return std::make_unique<TGxIncrementColumn>();
    case TGxColumnKind::Image:
        return std::make_unique<TGxImageColumn>();
    case TGxColumnKind::List:
        return std::make_unique<TGxListColumn>();
    case TGxColumnKind::Date:
        return std::make_unique<TGxDateColumn>();
    case TGxColumnKind::Tree:
        return std::make_unique<TGxTreeColumn>();
    case TGxColumnKind::Strings:
        return std::make_unique<TGxStringsColumn>();
    case TGxColumnKind::Popup:
        return std::make_unique<TGxPopupColumn>();
    }
    return std::make_unique<TGxTextColumn>();
}

// ---- format masks ---------------------------------------------------------------------------

QString FormatFloatMask(const QString& mask, double value, const QLocale& locale) {
    const QString section = mask.section(u';', 0, 0);
    const qsizetype first = section.indexOf(QRegularExpression(QStringLiteral("[0#]")));
    if (first < 0)
        return section;
    qsizetype last = first;
    for (qsizetype i = first; i < section.size(); ++i)
        if (section[i] == u'0' || section[i] == u'#' || section[i] == u'.' || section[i] == u',')
            last = i;
    const QString body = section.mid(first, last - first + 1);
    const qsizetype point = body.indexOf(u'.');
    const QString intPart = point < 0 ? body : body.left(point);
    const QString fracPart = point < 0 ? QString() : body.mid(point + 1);
    const int maxDecimals = int(fracPart.count(u'0') + fracPart.count(u'#'));
    const int minDecimals = int(fracPart.count(u'0'));
    const int minInteger = int(intPart.count(u'0'));
    const bool grouping = intPart.contains(u',');

    QString digits = QString::number(std::fabs(value), 'f', maxDecimals);
    QString whole = digits.section(u'.', 0, 0);
    QString frac = digits.section(u'.', 1, 1);
    while (frac.size() > minDecimals && frac.endsWith(u'0'))
        frac.chop(1);
    if (whole == u"0" && minInteger == 0)
        whole.clear();
    while (whole.size() < minInteger)
        whole.prepend(u'0');
    if (grouping) {
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, locale.groupSeparator());
    }
    QString number = whole;
    if (!frac.isEmpty())
        number += locale.decimalPoint() + frac;
    const bool negative = value < 0 && (number.contains(QRegularExpression(QStringLiteral("[1-9]"))));
    return section.left(first) + (negative ? QStringLiteral("-") : QString()) + number +
           section.mid(last + 1);
}

QString FormatDateTimeMask(const QString& mask, double value, const QLocale& locale, QChar dateSeparator) {
    const QDateTime dt = QDateTimeFromDateTime(value);
    const QDate d = dt.date();
    const QTime t = dt.time();
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < mask.size();) {
        const QChar c = mask[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype end = mask.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? mask.size() : end;
            out += mask.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < mask.size() && mask[i + run].toLower() == c.toLower())
            ++run;
        const QChar l = c.toLower();
        if (l == u'd') {
            if (run == 1)
                out += QString::number(d.day());
            else if (run == 2)
                out += QString::asprintf("%02d", d.day());
            else if (run == 3)
                out += locale.dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else
                out += locale.dayName(d.dayOfWeek(), QLocale::LongFormat);
        } else if (l == u'm' && !(afterHour && run <= 2)) {
            if (run == 1)
                out += QString::number(d.month());
            else if (run == 2)
                out += QString::asprintf("%02d", d.month());
            else if (run == 3)
                out += locale.monthName(d.month(), QLocale::ShortFormat);
            else
                out += locale.monthName(d.month(), QLocale::LongFormat);
        } else if (l == u'n' || l == u'm') {
            out += run == 1 ? QString::number(t.minute()) : QString::asprintf("%02d", t.minute());
            afterHour = false;
        } else if (l == u'y') {
            out += run <= 2 ? QString::asprintf("%02d", d.year() % 100) : QString::asprintf("%04d", d.year());
        } else if (l == u'h') {
            out += run == 1 ? QString::number(t.hour()) : QString::asprintf("%02d", t.hour());
            afterHour = true;
            i += run;
            continue;
        } else if (l == u's') {
            out += run == 1 ? QString::number(t.second()) : QString::asprintf("%02d", t.second());
        } else if (c == u'/') {
            out += QString(dateSeparator).repeated(int(run));
        } else {
            out += mask.mid(i, run);
            if (c != u':' && c != u' ')
                afterHour = false;
            i += run;
            continue;
        }
        if (l != u'h' && c != u':')
            afterHour = afterHour && (c == u':' || c == u' ');
        i += run;
    }
    return out;
}
