// Columns and the column collection of the table control.
#include "grid/GxColumns.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

const QLocale& FallbackLocale() {
    static const QLocale locale;
    return locale;
}

int RoundHalfEven(double v) {
    return int(std::nearbyint(v));
}

uint64_t HashFolded(std::u16string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (char16_t c : s)
        h = (h ^ c) * 1099511628211ull;
    return h ^ (h >> 29);
}

inline char16_t FoldUnit(char16_t c) {
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return QChar(c).toCaseFolded().unicode();
}

} // namespace

// ---- parts ----------------------------------------------------------------------------------

void TColumnPart::Changed() {
    if (OnChange)
        OnChange(this);
}

void TColumnPart::Repaint(TColumnPartRegion region) {
    if (FColumn)
        FColumn->RefreshPart(region);
}

void TColumnPart::SetCaption(const QString& value) {
    FCaption = value;
    if (FColumn)
        FColumn->NotifyListeners(lcCaption);
    Repaint(cpClient);
}

void TColumnPart::SetColor(TColor value) {
    FColor = value;
    Repaint(cpClient);
}

void TColumnPart::SetDisplayMode(TDisplayMode value) {
    FDisplayMode = value;
    Changed();
}

void TColumnPart::Assign(const TColumnPart& source) {
    SetCaption(source.FCaption);
    SetColor(source.FColor);
    SetDisplayMode(source.FDisplayMode);
}

void TColumnHeader::SetAlignment(TAlignment value) {
    FAlignment = value;
    Repaint(cpHeader);
}
void TColumnHeader::SetHideArrow(bool value) {
    FHideArrow = value;
    Repaint(cpHeader);
}
void TColumnHeader::SetMultiLine(bool value) {
    FMultiLine = value;
    Repaint(cpHeader);
}
void TColumnHeader::SetOrientation(THeaderOrientation value) {
    FOrientation = value;
    Repaint(cpHeader);
}

void TColumnHeader::Assign(const TColumnPart& source) {
    TColumnPart::Assign(source);
    SetHint(source.Hint());
    if (auto* h = dynamic_cast<const TColumnHeader*>(&source)) {
        SetAlignment(h->FAlignment);
        SetMultiLine(h->FMultiLine);
        SetOrientation(h->FOrientation);
    }
}

void TColumnFooter::SetAlignment(TAlignment value) {
    FAlignment = value;
    Repaint(cpFooter);
}
void TColumnFooter::SetFormulaKind(TFormulaKind value) {
    FFormulaKind = value;
    Changed();
}
void TColumnFooter::SetFormatMask(const QString& value) {
    FFormatMask = value;
    Changed();
}
void TColumnFooter::SetFormatMaskKind(TFormatMaskKind value) {
    FFormatMaskKind = value;
    Changed();
}
void TColumnFooter::SetTextAfter(const QString& value) {
    FTextAfter = value;
    Changed();
}
void TColumnFooter::SetTextBefore(const QString& value) {
    FTextBefore = value;
    Changed();
}

void TColumnFooter::Assign(const TColumnPart& source) {
    auto* f = dynamic_cast<const TColumnFooter*>(&source);
    if (!f) {
        TColumnPart::Assign(source);
        return;
    }
    SetAlignment(f->FAlignment);
    SetFormulaKind(f->FFormulaKind);
    SetFormatMask(f->FFormatMask);
    SetTextAfter(f->FTextAfter);
    SetTextBefore(f->FTextBefore);
}

void TGxSlideBounds::Changed() {
    if (FColumn)
        FColumn->NotifyChange(ccSlideBounds, 0);
}
void TGxSlideBounds::SetLeft(int value) {
    FLeft = value;
    Changed();
}
void TGxSlideBounds::SetTop(int value) {
    FTop = value;
    Changed();
}
void TGxSlideBounds::SetWidth(int value) {
    if (value == FWidth)
        return;
    FWidth = value;
    Changed();
}
void TGxSlideBounds::SetHeight(int value) {
    if (value == FHeight)
        return;
    FHeight = value;
    Changed();
}
void TGxSlideBounds::Assign(const TGxSlideBounds& source) {
    SetLeft(source.FLeft);
    SetTop(source.FTop);
    SetWidth(source.FWidth);
    SetHeight(source.FHeight);
}

// ---- column ---------------------------------------------------------------------------------

TGxCustomColumn::TGxCustomColumn()
    : FFooter(std::make_unique<TColumnFooter>(this)), FHeader(std::make_unique<TColumnHeader>(this)),
      FSlideBounds(std::make_unique<TGxSlideBounds>(this)) {
    FHeader->OnChange = [this](TColumnPart*) {
        NotifyChange(ccAppearance, 0);
    };
    FFooter->OnChange = [this](TColumnPart*) {
        NotifyChange(ccAppearance, 0);
    };
}

TGxCustomColumn::~TGxCustomColumn() {
    if (FInplaceEdit)
        FInplaceEdit->RemoveFreeObserver(this);
    FHeader->DetachColumn();
    FFooter->DetachColumn();
}

void TGxCustomColumn::NotifyListeners(int code) {
    for (auto& [listener, data] : FListeners)
        listener(this, code, data);
}

void TGxCustomColumn::AddListener(TListener listener, void* data) {
    FListeners.emplace_back(std::move(listener), data);
}

void TGxCustomColumn::NotifyChange(TColumnChange kind, int value) {
    if (FCollection && FCollection->OnColumnChanged)
        FCollection->OnColumnChanged(this, kind, value);
}

void TGxCustomColumn::RefreshPart(TColumnPartRegion region) {
    if (FCollection && FCollection->Host())
        FCollection->Host()->RepaintColumnPart(*this, region);
}

void TGxCustomColumn::SetInplaceEdit(TGxCustomEdit* value) {
    if (value == FInplaceEdit)
        return;
    if (FInplaceEdit)
        FInplaceEdit->RemoveFreeObserver(this);
    FInplaceEdit = value;
    if (value)
        value->AddFreeObserver(this, [this](TGxCustomEdit*) { FInplaceEdit = nullptr; });
}

const QLocale& TGxCustomColumn::Locale() const {
    return FCollection ? FCollection->Locale() : FallbackLocale();
}

void TGxCustomColumn::SetName(const QString& value) {
    if (value == FName)
        return;
    FName = value;
    if (FCollection)
        FCollection->NameChanged();
    NotifyListeners(lcCaption);
}

void TGxCustomColumn::SetAlignment(TAlignment value) {
    FAlignment = value;
    NotifyListeners(lcAlignment);
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetBiDiMode(TBiDiMode value) {
    FBiDiMode = value;
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetColor(TColor value) {
    FColor = value;
    NotifyListeners(lcColorOrOptions);
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetCursor(TCursor value) {
    FCursor = value;
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetDrawingOptions(TDrawingOptions value) {
    FDrawingOptions = value;
    NotifyListeners(lcDrawing);
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetFont(const TGridFont& value) {
    FFont = value;
    FParentFont = false;
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetInputCaption(const QString& value) {
    FInputCaption = value;
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetInputValue(const QString& value) {
    FInputValue = value;
    NotifyChange(ccInputValue, 0);
}
void TGxCustomColumn::SetPadding(int value) {
    FPadding = value;
    RefreshPart(cpBody);
}
void TGxCustomColumn::SetParentCellColor(bool value) {
    FParentCellColor = value;
    RefreshPart(cpBody);
}
void TGxCustomColumn::SetParentFont(bool value) {
    FParentFont = value;
    if (value && FCollection && FCollection->Host())
        FFont = FCollection->Host()->GridFont();
}
void TGxCustomColumn::SetSlideCaption(const QString& value) {
    FSlideCaption = value;
    RefreshPart(cpClient);
}
void TGxCustomColumn::SetSlideCaptionLocation(TSlideCatpionLocation value) {
    FSlideCaptionLocation = value;
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetVerticalAlignment(TVerticalAlignment value) {
    FVerticalAlignment = value;
    NotifyChange(ccAppearance, 0);
}
void TGxCustomColumn::SetWrapKind(TWrapKind value) {
    FWrapKind = value;
    RefreshPart(cpBody);
}

void TGxCustomColumn::SetOptions(TColumnOptions value) {
    if ((value & coSearchColumn) && FCollection) {
        for (int i = 0; i < FCollection->ColumnCount(); ++i) {
            TGxCustomColumn* other = FCollection->GetColumn(i);
            if (other != this)
                other->FOptions &= TColumnOptions(~coSearchColumn);
        }
    }
    const bool autoSizeKept = (FOptions & coAutoSize) && (value & coAutoSize);
    FOptions = value;
    if (!FCollection || FCollection->Loading())
        return;
    if (!autoSizeKept)
        FCollection->DistributeAutoSize(this, true);
    NotifyChange(ccAppearance, 0);
    NotifyListeners(lcColorOrOptions);
}

void TGxCustomColumn::SetSorted(bool value) {
    if (GetColumnFlags() & cfNeverSorted)
        return;
    if (value == FSorted)
        return;
    if (value && FCollection) {
        for (int i = 0; i < FCollection->ColumnCount(); ++i) {
            TGxCustomColumn* other = FCollection->GetColumn(i);
            if (other != this && other->FSorted)
                other->SetSorted(false);
        }
    }
    FSorted = value;
    NotifyChange(value ? ccSortedOn : ccSortedOff, 0);
}

void TGxCustomColumn::SetSortKind(TSortKind value) {
    if (value == FSortKind)
        return;
    FSortKind = value;
    NotifyChange(ccSortSettings, 0);
}

void TGxCustomColumn::SetSortType(TSortType value) {
    if (value == FSortType)
        return;
    FSortType = value;
    NotifyChange(ccSortSettings, 0);
}

void TGxCustomColumn::SetVisible(bool value) {
    if (value == FVisible)
        return;
    FVisible = value;
    NotifyListeners(lcVisibility);
    NotifyChange(ccVisible, 0);
    if (!FCollection)
        return;
    FCollection->RecalcPositions(false);
    FCollection->DistributeAutoSize(nullptr);
}

void TGxCustomColumn::ChangeWidth(int value) {
    // A width from a damaged layout file must not overflow the sums of positions nor blank the header.
    const int width = std::clamp(value, FMinWidth, std::max(FMinWidth, GxMaxColumnWidth));
    const int old = FWidth;
    FWidth = width;
    if (FCollection && !FCollection->Loading())
        FCollection->RecalcPositions(false);
    if (width != old)
        NotifyChange(ccWidth, width - old);
}

void TGxCustomColumn::SetWidth(int value) {
    ChangeWidth(value);
    if (FCollection)
        FCollection->DistributeAutoSize(this, false);
}

void TGxCustomColumn::SetPosition(int value) {
    if (!FCollection || FCollection->Loading()) {
        FPosition = value;
        return;
    }
    const int target = std::clamp(value, 0, FCollection->ColumnCount() - 1);
    FCollection->ChangePosition(FPosition, target);
    NotifyChange(ccPosition, -1);
    FPosition = target;
}

int TGxCustomColumn::Index() const {
    return FCollection ? FCollection->IndexOf(this) : -1;
}

int TGxCustomColumn::ClientLeft() const {
    if (!FCollection || !FCollection->Host() || FPosition < FCollection->FixedCols())
        return FLeft;
    return FLeft - FCollection->Host()->HorzScrollPos();
}

int TGxCustomColumn::HeaderSegment() const {
    if (!FCollection)
        return 0;
    const int count = FCollection->VisibleCount();
    if (count == 1)
        return 0;
    if (FVisibleIndex == 0)
        return 1;
    if (FVisibleIndex == count - 1)
        return 3;
    return 2;
}

bool TGxCustomColumn::IsOnlyColumn() const {
    return FCollection && FCollection->VisibleCount() == 1;
}

bool TGxCustomColumn::IsCurrentColumn() const {
    return FCollection && FCollection->Host() && FCollection->Host()->CurrentColumn() == Index();
}

void TGxCustomColumn::CreateViews(TColumnViewFactory& factory) {
    // An editor belongs to no window: one made for an earlier view stays.
    if (!FEditor && GetEditorClass() != TEditorClass::None)
        FEditor = factory.CreateEditor(*this, GetEditorClass());
    FDisplay = factory.CreateDisplay(*this, GetDisplayClass());
    FPlay = GetPlayClass() == TPlayClass::None ? nullptr : factory.CreatePlay(*this, GetPlayClass());
}

uint8_t TGxCustomColumn::GetEditAbilities() const {
    if (!FEnabled || (!(GetColumnFlags() & cfCanEdit) && !FInplaceEdit))
        return 0;
    uint8_t result = 0;
    if (FOptions & coEditing)
        result |= eaInCells;
    if (FOptions & coCanInput)
        result |= eaInInputRow;
    return result;
}

int TGxCustomColumn::MeasureTextWidth(const QString& text) const {
    const int width = FDisplay ? FDisplay->TextWidth(text) : int(text.size()) * 7;
    return width < 2 ? 8 : width + 6;
}

void TGxCustomColumn::FormatCell(const TCellInfo& info, QString& text) const {
    const TCellInfo copy = info;
    GetDisplayText(copy, text);
}

void TGxCustomColumn::PrepareEditor(TEditorSetup& setup) const {
    setup.Alignment = FAlignment;
    setup.BorderNone = true;
    setup.BorderWidth = 0;
    setup.LeftMargin = 1;
}

void TGxCustomColumn::Assign(const TGxCustomColumn& source) {
    SetAlignment(source.FAlignment);
    SetColor(source.FColor);
    SetCursor(source.FCursor);
    SetDefaultValue(source.FDefaultValue);
    SetDrawingOptions(source.FDrawingOptions);
    SetFont(source.FFont);
    FFooter->Assign(*source.FFooter);
    FHeader->Assign(*source.FHeader);
    SetInputCaption(source.FInputCaption);
    SetInputValue(source.FInputValue);
    SetOptions(source.FOptions);
    SetParentFont(source.FParentFont);
    SetPosition(source.FPosition);
    FSlideBounds->Assign(*source.FSlideBounds);
    SetSorted(source.FSorted);
    SetSortKind(source.FSortKind);
    SetVerticalAlignment(source.FVerticalAlignment);
    SetVisible(source.FVisible);
    SetWidth(source.FWidth);
    SetWrapKind(source.FWrapKind);
}

// ---- collection -----------------------------------------------------------------------------

int FoldColumnName(QAnyStringView name, char16_t* buffer, int capacity) {
    if (name.size() > capacity)
        return -1;
    int n = 0;
    bool fits = true;
    name.visit([&](auto view) {
        using V = decltype(view);
        if constexpr (std::is_same_v<V, QStringView>) {
            for (QChar c : view)
                buffer[n++] = FoldUnit(c.unicode());
        } else if constexpr (std::is_same_v<V, QLatin1StringView>) {
            for (char c : view)
                buffer[n++] = FoldUnit(uchar(c));
        } else {
            for (char c : view) {
                if (uchar(c) >= 0x80) {
                    fits = false;
                    return;
                }
                buffer[n++] = FoldUnit(uchar(c));
            }
        }
    });
    if (fits)
        return n;
    // Non-ASCII UTF-8: decode first.
    const QString decoded = name.toString();
    if (decoded.size() > capacity)
        return -1;
    n = 0;
    for (QChar c : decoded)
        buffer[n++] = FoldUnit(c.unicode());
    return n;
}

TGxColumns::TGxColumns(TGxColumnsHost* host) : FHost(host), FLocale(std::make_unique<QLocale>()) {}

TGxColumns::~TGxColumns() {
    Clear();
}

void TGxColumns::SetLocale(const QLocale& locale) {
    *FLocale = locale;
    for (auto& column : FItems)
        column->LocaleChanged();
}

TGxCustomColumn* TGxColumns::GetColumn(int index) const {
    if (!IsValidIndex(index))
        RaiseListIndexError(index);
    return FItems[size_t(index)].get();
}

TGxCustomColumn* TGxColumns::PositionItem(int position) const {
    if (position < 0 || position >= int(FOrder.size()))
        RaiseListIndexError(position);
    return FOrder[size_t(position)];
}

void TGxColumns::SetPositionItem(int position, TGxCustomColumn* column) {
    if (position < 0 || position >= int(FOrder.size()))
        RaiseListIndexError(position);
    FOrder[size_t(position)] = column;
}

int TGxColumns::IndexOf(const TGxCustomColumn* column) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == column)
            return int(i);
    return -1;
}

void TGxColumns::RebuildNames() const {
    size_t size = 8;
    while (size < FItems.size() * 2)
        size *= 2;
    FNames.assign(size, NameSlot());
    char16_t buffer[256];
    for (size_t i = 0; i < FItems.size(); ++i) {
        const int n = FoldColumnName(FItems[i]->Name(), buffer, 256);
        if (n < 0)
            continue;
        const std::u16string_view key(buffer, size_t(n));
        const uint64_t hash = HashFolded(key);
        for (size_t s = hash & (size - 1);; s = (s + 1) & (size - 1)) {
            NameSlot& slot = FNames[s];
            if (slot.Index < 0) {
                slot = NameSlot{hash, int(i), std::u16string(key)};
                break;
            }
            if (slot.Hash == hash && slot.Key == key)
                break; // the first of equal names wins
        }
    }
    FNamesDirty = false;
}

int TGxColumns::IndexOfFoldedName(std::u16string_view folded) const {
    if (FNamesDirty)
        RebuildNames();
    const size_t mask = FNames.size() - 1;
    const uint64_t hash = HashFolded(folded);
    for (size_t s = hash & mask;; s = (s + 1) & mask) {
        const NameSlot& slot = FNames[s];
        if (slot.Index < 0)
            return -1;
        if (slot.Hash == hash && slot.Key == folded)
            return slot.Index;
    }
}

int TGxColumns::IndexOfName(QAnyStringView name) const {
    char16_t buffer[256];
    const int n = FoldColumnName(name, buffer, 256);
    return n < 0 ? -1 : IndexOfFoldedName(std::u16string_view(buffer, size_t(n)));
}

TGxCustomColumn* TGxColumns::ColumnByName(QAnyStringView name) const {
    const int index = IndexOfName(name);
    return index < 0 ? nullptr : FItems[size_t(index)].get();
}

int TGxColumns::VisibleCount() const {
    return int(std::count_if(FItems.begin(), FItems.end(), [](auto& c) { return c->Visible(); }));
}

int TGxColumns::TotalVisibleWidth() const {
    int total = 0;
    for (auto& c : FItems)
        if (c->Visible())
            total += c->Width();
    return total;
}

TGxCustomColumn* TGxColumns::FirstVisibleColumn() const {
    for (TGxCustomColumn* c : FOrder)
        if (c->Visible() && c->Enabled())
            return c;
    return nullptr;
}

TGxCustomColumn* TGxColumns::LastVisibleColumn() const {
    for (auto it = FOrder.rbegin(); it != FOrder.rend(); ++it)
        if ((*it)->Visible() && (*it)->Enabled())
            return *it;
    return nullptr;
}

TGxCustomColumn* TGxColumns::NextVisibleColumn(TGxCustomColumn* column) const {
    auto it = std::find(FOrder.begin(), FOrder.end(), column);
    if (it == FOrder.end())
        return column;
    for (++it; it != FOrder.end(); ++it)
        if ((*it)->Visible() && (*it)->Enabled())
            return *it;
    return column;
}

TGxCustomColumn* TGxColumns::PrevVisibleColumn(TGxCustomColumn* column) const {
    auto it = std::find(FOrder.begin(), FOrder.end(), column);
    while (it != FOrder.begin() && it != FOrder.end()) {
        --it;
        if ((*it)->Visible() && (*it)->Enabled())
            return *it;
    }
    return column;
}

void TGxColumns::SetFixedCols(int value) {
    FFixedCols = std::max(0, value);
    RecalcPositions(false);
}

TGxCustomColumn* TGxColumns::AddColumn(std::unique_ptr<TGxCustomColumn> column) {
    if (ColumnCount() >= MaxGridColumns)
        RaiseListIndexError(ColumnCount());
    TGxCustomColumn* c = column.get();
    c->FCollection = this;
    if (c->FParentFont && FHost)
        c->FFont = FHost->GridFont();
    FItems.push_back(std::move(column));
    FOrder.push_back(c);
    c->FPosition = int(FOrder.size()) - 1;
    FNamesDirty = true;
    c->LocaleChanged();
    RecalcPositions(false);
    DistributeAutoSize(nullptr);
    if (OnBeforeListChange)
        OnBeforeListChange(0, -1);
    if (OnAfterListChange)
        OnAfterListChange(0, -1);
    return c;
}

void TGxColumns::RemoveFromLists(TGxCustomColumn* column) {
    FOrder.erase(std::remove(FOrder.begin(), FOrder.end(), column), FOrder.end());
    FNamesDirty = true;
}

void TGxColumns::RemoveColumn(TGxCustomColumn* column) {
    const int index = IndexOf(column);
    if (index < 0)
        return;
    if (OnBeforeListChange)
        OnBeforeListChange(1, index);
    std::unique_ptr<TGxCustomColumn> owned = std::move(FItems[size_t(index)]);
    FItems.erase(FItems.begin() + index);
    RemoveFromLists(column);
    owned->FCollection = nullptr;
    if (FHost && FHost->IsDestroying())
        return;
    RecalcPositions(true);
    DistributeAutoSize(nullptr);
    if (OnAfterListChange)
        OnAfterListChange(1, index);
}

void TGxColumns::ChangePosition(int fromPos, int toPos) {
    if (fromPos == toPos)
        return;
    if (fromPos < 0 || fromPos >= int(FOrder.size()))
        RaiseListIndexError(fromPos);
    if (toPos < 0 || toPos >= int(FOrder.size()))
        RaiseListIndexError(toPos);
    TGxCustomColumn* moved = FOrder[size_t(fromPos)];
    FOrder.erase(FOrder.begin() + fromPos);
    FOrder.insert(FOrder.begin() + toPos, moved);
    RecalcPositions(true);
    moved->NotifyChange(ccPosition, fromPos);
}

bool TGxColumns::ApplyPositions(const std::vector<int>& positions) {
    const size_t n = FItems.size();
    if (positions.size() != n)
        return false;
    std::vector<TGxCustomColumn*> order(n, nullptr);
    for (size_t i = 0; i < n; ++i) {
        const int p = positions[i];
        if (p < 0 || size_t(p) >= n || order[size_t(p)])
            return false;
        order[size_t(p)] = FItems[i].get();
    }
    FOrder = std::move(order);
    RecalcPositions(true);
    for (size_t i = 0; i < n; ++i)
        FItems[i]->NotifyChange(ccPosition, -1);
    return true;
}

void TGxColumns::RecalcPositions(bool renumberPositions) {
    FFixedWidth = 0;
    for (int i = 0; i < std::min<int>(FFixedCols, int(FOrder.size())); ++i)
        if (FOrder[size_t(i)]->Visible())
            FFixedWidth += FOrder[size_t(i)]->Width();
    int x = FHost && FHost->ShowsIndicator() ? 12 : 0;
    int visibleIndex = 0;
    for (size_t i = 0; i < FOrder.size(); ++i) {
        TGxCustomColumn* c = FOrder[i];
        if (renumberPositions)
            c->FPosition = int(i);
        if (!c->Visible()) {
            c->FVisibleIndex = -1;
            continue;
        }
        c->FLeft = x;
        c->FVisibleIndex = visibleIndex++;
        x += c->Width();
    }
}

void TGxColumns::DistributeAutoSize(TGxCustomColumn* start, bool fromItsLeft) {
    if (!FHost || FHost->IsLoading() || FDistributing)
        return;
    int p = 0;
    int x = 0;
    if (start) {
        const int pos = int(std::find(FOrder.begin(), FOrder.end(), start) - FOrder.begin());
        if (pos >= int(FOrder.size()))
            return;
        if (fromItsLeft) {
            p = pos;
            x = start->Left();
        } else {
            p = pos + 1;
            x = start->Visible() ? start->Left() + start->Width() : start->Left();
        }
        if (FHost->ShowsIndicator())
            x -= 12;
    }
    double autoWidth = 0;
    int fixedWidth = 0;
    for (size_t i = size_t(p); i < FOrder.size(); ++i) {
        const TGxCustomColumn* c = FOrder[i];
        if (!c->Visible())
            continue;
        if (c->HasOption(coAutoSize))
            autoWidth += c->Width();
        else
            fixedWidth += c->Width();
    }
    if (autoWidth <= 0)
        return;
    const int clientWidth = FHost->ClientWidth() - (FHost->ShowsIndicator() ? 12 : 0);
    const double room = double(clientWidth - x - fixedWidth);
    FDistributing = true;
    for (size_t i = size_t(p); i < FOrder.size(); ++i) {
        TGxCustomColumn* c = FOrder[i];
        if (c->Visible() && c->HasOption(coAutoSize))
            c->ChangeWidth(RoundHalfEven(c->Width() / autoWidth * room));
    }
    FDistributing = false;
}

void TGxColumns::Clear() {
    while (!FItems.empty()) {
        std::unique_ptr<TGxCustomColumn> last = std::move(FItems.back());
        const int index = int(FItems.size()) - 1;
        if (OnBeforeListChange)
            OnBeforeListChange(1, index);
        FItems.pop_back();
        RemoveFromLists(last.get());
        last->FCollection = nullptr;
        if (OnAfterListChange && !(FHost && FHost->IsDestroying()))
            OnAfterListChange(1, index);
    }
    FNamesDirty = true;
}
