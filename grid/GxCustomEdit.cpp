// The in-place editor as the table control model sees it.
#include "grid/GxCustomEdit.h"
#include "grid/GxColumns.h"
#include "grid/GxConvert.h"
#include "grid/GxNumberText.h"

#include <algorithm>

void TGxEditMargins::SetLeft(int value) {
    if (value == FLeft)
        return;
    FLeft = value;
    if (OnChange)
        OnChange();
}

void TGxEditMargins::SetRight(int value) {
    if (value == FRight)
        return;
    FRight = value;
    if (OnChange)
        OnChange();
}

TGxCustomEdit::TGxCustomEdit() {
    FEditMargins.OnChange = [this] {
        EditChanged(ecMargins);
    };
}

TGxCustomEdit::~TGxCustomEdit() {
    // Observers may remove themselves (or others) while they are told.
    auto observers = std::move(FFreeObservers);
    FFreeObservers.clear();
    for (auto& [owner, observer] : observers)
        if (observer)
            observer(this);
}

void TGxCustomEdit::AddFreeObserver(const void* owner, TFreeObserver observer) {
    RemoveFreeObserver(owner);
    FFreeObservers.emplace_back(owner, std::move(observer));
}

void TGxCustomEdit::RemoveFreeObserver(const void* owner) {
    FFreeObservers.erase(std::remove_if(FFreeObservers.begin(), FFreeObservers.end(),
                                        [owner](const auto& entry) { return entry.first == owner; }),
                         FFreeObservers.end());
}

bool TGxCustomEdit::GetAsBoolean() const {
    return TextToBool(Text(), FLocale);
}

double TGxCustomEdit::GetAsDateTime() const {
    const QString text = Text();
    return text.isEmpty() ? 0.0 : TextToDateTime(text, FLocale);
}

double TGxCustomEdit::GetAsFloat() const {
    return TextToFloat(Text(), FLocale);
}

int32_t TGxCustomEdit::GetAsInteger() const {
    return TextToInt(Text());
}

void TGxCustomEdit::SetAsBoolean(bool value) {
    SetText(BoolToText(value));
}

void TGxCustomEdit::SetAsDateTime(double value) {
    SetText(DateTimeToText(value, FLocale, true));
}

void TGxCustomEdit::SetAsFloat(double value) {
    SetText(PlainNumberText(value, DecimalSeparator(FLocale)));
}

void TGxCustomEdit::SetAsInteger(int32_t value) {
    SetText(QString::number(value));
}

void TGxCustomEdit::SetAlignment(TAlignment value) {
    FAlignment = value;
    EditChanged(ecAlignment);
}

void TGxCustomEdit::SetBorderStyle(TBorderStyle value) {
    FBorderStyle = value;
    EditChanged(ecBorder);
}

void TGxCustomEdit::SetBorderWidth(int value) {
    FBorderWidth = std::max(0, value);
    EditChanged(ecBorder);
}

void TGxCustomEdit::SetColor(TColor value) {
    FColor = value;
    EditChanged(ecColor);
}

void TGxCustomEdit::SetPreviewBorder(bool value) {
    FPreviewBorder = value;
    EditChanged(ecPreview);
}

void TGxCustomEdit::SetShowPreview(bool value) {
    FShowPreview = value;
    EditChanged(ecMargins);
}

void TGxCustomEdit::SetMaxLength(int value) {
    FMaxLength = std::max(0, value);
    EditChanged(ecLimits);
}

void TGxCustomEdit::SetPasswordChar(QChar value) {
    FPasswordChar = value;
    EditChanged(ecLimits);
}

void TGxCustomEdit::SetReadOnly(bool value) {
    FReadOnly = value;
    EditChanged(ecLimits);
}

void TGxCustomEdit::SetCharCase(TEditCharCase value) {
    FCharCase = value;
    EditChanged(ecLimits);
}

void TGxCustomEdit::SetLocale(const QLocale& value) {
    FLocale = value;
    EditChanged(ecLocale);
}

void TGxCustomEdit::ApplySetup(const TEditorSetup& setup) {
    SetAlignment(setup.Alignment);
    SetBorderStyle(setup.BorderNone ? bsNone : bsSingle);
    SetBorderWidth(setup.BorderWidth);
    FEditMargins.SetLeft(setup.LeftMargin);
    SetEmbeddedInGrid(setup.EmbeddedInGrid);
    SetMaxLength(setup.MaxLength);
    SetPasswordChar(setup.PasswordChar);
}

void TGxCustomEdit::SyncSetup(const TEditorSetup& setup) {
    Q_UNUSED(setup);
}
