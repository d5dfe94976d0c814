// Typed cells and the cell store of the table control.
#include "grid/GxCells.h"
#include "grid/GxConvert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>
#include <type_traits>

#include <sys/mman.h>

// ---- compact text ---------------------------------------------------------------------------

TCellText::TCellText(TCellText&& other) noexcept {
    std::memcpy(FData, other.FData, sizeof(FData));
    other.Reset();
}

void TCellText::Free() {
    if (Tag() == HeapTag)
        delete[] HeapData();
    Reset();
}

uint32_t TCellText::HeapCapacity() const {
    uint32_t capacity = 0;
    std::memcpy(&capacity, FData + 12, sizeof(capacity));
    return capacity;
}

void TCellText::SetInline(const void* bytes, size_t size, uint8_t tag) {
    Free();
    std::memcpy(FData, bytes, size);
    FData[TagByte] = tag;
}

void TCellText::AssignUtf16(QStringView text) {
    const qsizetype n = text.size();
    const char16_t* units = text.utf16();
    if (n <= Latin1Capacity) {
        unsigned char bytes[Latin1Capacity]; // the text may be this cell's own
        bool latin1 = true;
        for (qsizetype i = 0; i < n && latin1; ++i) {
            latin1 = units[i] < 0x100;
            bytes[i] = static_cast<unsigned char>(units[i]);
        }
        if (latin1) {
            SetInline(bytes, size_t(n), uint8_t(n));
            return;
        }
    }
    if (n <= Utf16Capacity) {
        char16_t copy[Utf16Capacity];
        std::memcpy(copy, units, size_t(n) * sizeof(char16_t));
        SetInline(copy, size_t(n) * sizeof(char16_t), uint8_t(Utf16Tag | n));
        return;
    }
    const uint32_t length = uint32_t(n);
    if (Tag() == HeapTag && length <= HeapCapacity()) {
        // A text that fits the buffer it replaces is written into it.
        std::memmove(const_cast<char16_t*>(HeapData()), units, size_t(n) * sizeof(char16_t));
        std::memcpy(FData + 8, &length, sizeof(length));
        return;
    }
    const uint32_t capacity = (length + 7) & ~uint32_t(7);
    auto* data = new char16_t[capacity];
    std::memcpy(data, units, size_t(n) * sizeof(char16_t));
    Free();
    std::memcpy(FData, &data, sizeof(data));
    std::memcpy(FData + 8, &length, sizeof(length));
    std::memcpy(FData + 12, &capacity, sizeof(capacity));
    FData[TagByte] = HeapTag;
}

void TCellText::Assign(QAnyStringView text) {
    text.visit([this](auto view) {
        using View = decltype(view);
        if constexpr (std::is_same_v<View, QStringView>) {
            AssignUtf16(view);
        } else if constexpr (std::is_same_v<View, QLatin1StringView>) {
            if (view.size() <= Latin1Capacity) {
                unsigned char bytes[Latin1Capacity]; // the text may be this cell's own
                std::memcpy(bytes, view.data(), size_t(view.size()));
                SetInline(bytes, size_t(view.size()), uint8_t(view.size()));
            } else {
                AssignUtf16(view.toString());
            }
        } else {
            AssignUtf16(view.toString());
        }
    });
}

QString TCellText::ToString() const {
    return View().toString();
}

// ---- base cell ------------------------------------------------------------------------------

TRow& TCell::RowObject() const {
    return *TCells::RowOfCell(this);
}
TCells& TCell::Owner() const {
    return *RowObject().FOwner;
}
int TCell::Row() const {
    return Owner().IndexOfRow(&RowObject());
}
const QLocale& TCell::Locale() const {
    return Owner().Locale();
}

void TCell::Changed() {
    if (!Locked())
        Owner().CellChanged(this);
}

void TCell::SetAsBoolean(bool) {
    Changed();
}
void TCell::SetAsDateTime(double) {
    Changed();
}
void TCell::SetAsFloat(double) {
    Changed();
}
void TCell::SetAsInteger(int32_t) {
    Changed();
}
void TCell::SetAsString(const QString&) {
    Changed();
}
void TCell::Clear() {
    Changed();
}

void TCell::SetCellColor(TColor value) {
    FColor = value;
    Changed();
}

void TCell::SetEmpty(bool value) {
    FFlags = value ? uint8_t(FFlags | FlagEmpty) : uint8_t(FFlags & ~FlagEmpty);
}

QString TCell::Hint() const {
    return (FFlags & FlagHasHint) ? Owner().CellHint(this) : QString();
}
void TCell::SetHint(const QString& value) {
    Owner().SetCellHint(this, value);
}
int32_t TCell::ObjectReference() const {
    return (FFlags & FlagHasReference) ? Owner().CellReference(this) : 0;
}
void TCell::SetObjectReference(int32_t value) {
    Owner().SetCellReference(this, value);
}

// ---- Boolean --------------------------------------------------------------------------------

QString TBooleanCell::GetAsString() const {
    return BoolToText(FValue);
}
void TBooleanCell::SetAsBoolean(bool value) {
    FValue = value;
    TCell::SetAsBoolean(value);
}
void TBooleanCell::SetAsDateTime(double value) {
    FValue = false;
    TCell::SetAsDateTime(value);
}
void TBooleanCell::SetAsFloat(double value) {
    FValue = value != 0;
    TCell::SetAsFloat(value);
}
void TBooleanCell::SetAsInteger(int32_t value) {
    FValue = value != 0;
    TCell::SetAsInteger(value);
}
void TBooleanCell::SetAsString(const QString& value) {
    FValue = value == u"1" || value.toLower() == u"true";
    TCell::SetAsString(value);
}
void TBooleanCell::Clear() {
    FValue = false;
    TCell::Clear();
}
void TBooleanCell::MoveInto(void* slot) {
    new (slot) TBooleanCell(std::move(*this));
}

// ---- date-time ------------------------------------------------------------------------------

int32_t TDateTimeCell::GetAsInteger() const {
    return TruncToInt(FValue, Locale());
}
QString TDateTimeCell::GetAsString() const {
    return DateTimeToText(FValue, Locale(), true);
}
void TDateTimeCell::SetAsBoolean(bool value) {
    FValue = TodayDate();
    TCell::SetAsBoolean(value);
}
void TDateTimeCell::SetAsDateTime(double value) {
    FValue = value;
    TCell::SetAsDateTime(value);
}
void TDateTimeCell::SetAsFloat(double value) {
    FValue = value;
    TCell::SetAsFloat(value);
}
void TDateTimeCell::SetAsInteger(int32_t value) {
    FValue = value;
    TCell::SetAsInteger(value);
}
void TDateTimeCell::SetAsString(const QString& value) {
    FValue = value.isEmpty() ? 0 : TryTextToDateTime(value, Locale()).value_or(0);
    TCell::SetAsString(value);
}
void TDateTimeCell::Clear() {
    FValue = 0;
    TCell::Clear();
}
void TDateTimeCell::MoveInto(void* slot) {
    new (slot) TDateTimeCell(std::move(*this));
}

// ---- float ----------------------------------------------------------------------------------

int32_t TFloatCell::GetAsInteger() const {
    return RoundToInt(FValue, Locale());
}
QString TFloatCell::GetAsString() const {
    return FloatToText(FValue, Locale());
}
void TFloatCell::SetAsBoolean(bool value) {
    FValue = 0;
    TCell::SetAsBoolean(value);
}
void TFloatCell::SetAsDateTime(double value) {
    FValue = value;
    TCell::SetAsDateTime(value);
}
void TFloatCell::SetAsFloat(double value) {
    FValue = value;
    TCell::SetAsFloat(value);
}
void TFloatCell::SetAsInteger(int32_t value) {
    FValue = value;
    TCell::SetAsInteger(value);
}
void TFloatCell::SetAsString(const QString& value) {
    FValue = TextToFloat(value, Locale());
    TCell::SetAsString(value);
}
void TFloatCell::Clear() {
    FValue = 0;
    TCell::Clear();
}
void TFloatCell::MoveInto(void* slot) {
    new (slot) TFloatCell(std::move(*this));
}

// ---- integer --------------------------------------------------------------------------------

void TIntegerCell::SetAsBoolean(bool value) {
    FValue = value ? 1 : 0;
    TCell::SetAsBoolean(value);
}
void TIntegerCell::SetAsDateTime(double value) {
    FValue = 0;
    TCell::SetAsDateTime(value);
}
void TIntegerCell::SetAsFloat(double value) {
    FValue = RoundToInt(value, Locale());
    TCell::SetAsFloat(value);
}
void TIntegerCell::SetAsInteger(int32_t value) {
    FValue = value;
    TCell::SetAsInteger(value);
}
void TIntegerCell::SetAsString(const QString& value) {
    FValue = value.isEmpty() ? 0 : TextToInt(value);
    TCell::SetAsString(value);
}
void TIntegerCell::Clear() {
    FValue = 0;
    TCell::Clear();
}
void TIntegerCell::MoveInto(void* slot) {
    new (slot) TIntegerCell(std::move(*this));
}

// ---- string ---------------------------------------------------------------------------------

bool TStringCell::GetAsBoolean() const {
    return TextToBool(GetAsString(), Locale());
}
double TStringCell::GetAsDateTime() const {
    return FValue.IsEmpty() ? 0 : TextToDateTime(GetAsString(), Locale());
}
double TStringCell::GetAsFloat() const {
    return TextToFloat(GetAsString(), Locale());
}
int32_t TStringCell::GetAsInteger() const {
    return TextToInt(GetAsString());
}
void TStringCell::SetAsBoolean(bool value) {
    FValue.Assign(BoolToText(value));
    TCell::SetAsBoolean(value);
}
void TStringCell::SetAsDateTime(double value) {
    FValue.Assign(DateTimeToText(value, Locale(), true));
    TCell::SetAsDateTime(value);
}
void TStringCell::SetAsFloat(double value) {
    FValue.Assign(FloatToText(value, Locale()));
    TCell::SetAsFloat(value);
}
void TStringCell::SetAsInteger(int32_t value) {
    FValue.Assign(QString::number(value));
    TCell::SetAsInteger(value);
}
void TStringCell::SetAsString(const QString& value) {
    FValue.Assign(value);
    TCell::SetAsString(value);
}
void TStringCell::Clear() {
    FValue.Assign(QStringView());
    TCell::Clear();
}
void TStringCell::MoveInto(void* slot) {
    new (slot) TStringCell(std::move(*this));
}

void TIncrementCell::MoveInto(void* slot) {
    new (slot) TIncrementCell(std::move(*this));
}

// ---- text-backed (GUID, virtual) ------------------------------------------------------------

bool TTextBackedCell::GetAsBoolean() const {
    return TextToBool(GetAsString(), Locale());
}
double TTextBackedCell::GetAsDateTime() const {
    const QString text = GetAsString();
    return text.isEmpty() ? 0 : TextToDateTime(text, Locale());
}
double TTextBackedCell::GetAsFloat() const {
    return TextToFloat(GetAsString(), Locale());
}
int32_t TTextBackedCell::GetAsInteger() const {
    return TextToInt(GetAsString());
}
void TTextBackedCell::SetAsBoolean(bool value) {
    SetAsString(BoolToText(value));
}
void TTextBackedCell::SetAsDateTime(double value) {
    SetAsString(DateTimeToText(value, Locale(), true));
}
void TTextBackedCell::SetAsFloat(double value) {
    SetAsString(FloatToText(value, Locale()));
}
void TTextBackedCell::SetAsInteger(int32_t value) {
    SetAsString(QString::number(value));
}

QString TGuidCell::GetAsString() const {
    return GuidToText(FValue);
}
void TGuidCell::SetAsString(const QString& value) {
    FValue = TextToGuid(value);
    TCell::SetAsString(value);
}
void TGuidCell::Clear() {
    FValue = QUuid();
    TCell::Clear();
}
void TGuidCell::MoveInto(void* slot) {
    new (slot) TGuidCell(std::move(*this));
}

QString TVirtualCell::GetAsString() const {
    QString value;
    TGxCustomColumn* column = Owner().Columns().GetColumn(Column());
    if (column->OnGetCellValue)
        column->OnGetCellValue(column, Row(), value);
    return value;
}
void TVirtualCell::SetAsString(const QString& value) {
    TGxCustomColumn* column = Owner().Columns().GetColumn(Column());
    if (column->OnSetCellValue)
        column->OnSetCellValue(column, Row(), value);
    TCell::SetAsString(value);
}
void TVirtualCell::Clear() {
    TCell::Clear();
}
void TVirtualCell::MoveInto(void* slot) {
    new (slot) TVirtualCell(std::move(*this));
}

// ---- store: slots and rows ------------------------------------------------------------------

namespace {

static_assert(sizeof(TStringCell) <= 40 && sizeof(TGuidCell) <= 40 && sizeof(TDateTimeCell) <= 40);
static_assert(alignof(TStringCell) <= 8 && alignof(TGuidCell) <= 8 && alignof(TFloatCell) <= 8);

template <class T> TCell* Construct(void* slot) {
    return new (slot) T();
}

} // namespace

TRow* TCells::RowOfCell(const TCell* cell) {
    const auto* base =
        reinterpret_cast<const unsigned char*>(cell) - size_t(cell->FColumn) * SlotSize - HeaderSize;
    TRow* row = nullptr;
    std::memcpy(&row, base, sizeof(row));
    return row;
}

TCell* TCells::SlotCell(TRow* row, int column) {
    return std::launder(reinterpret_cast<TCell*>(row->FCells + HeaderSize + size_t(column) * SlotSize));
}

unsigned char* TCells::AllocateCells(TCellBlockPool& pool, TRow* row) {
    unsigned char* block = pool.Take(row->FChunk);
    std::memcpy(block, &row, sizeof(row));
    return block;
}

// ---- block pool -----------------------------------------------------------------------------

namespace {
constexpr uint32_t NoChunk = UINT32_MAX;
constexpr uint32_t FirstChunkBlocks = 4;
constexpr size_t LargestChunkBytes = size_t(1) << 20;
// Large chunks are mapped with their pages present: one call instead of a fault per page as the
// rows are first written.
constexpr size_t MappedChunkBytes = size_t(256) << 10;

unsigned char* AllocateChunk(size_t bytes) {
    if (bytes < MappedChunkBytes)
        return static_cast<unsigned char*>(::operator new(bytes));
    void* data =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (data == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<unsigned char*>(data);
}

void FreeChunk(unsigned char* data, size_t bytes) {
    if (!data)
        return;
    if (bytes < MappedChunkBytes)
        ::operator delete(data);
    else
        munmap(data, bytes);
}
} // namespace

TCellBlockPool::~TCellBlockPool() {
    Clear();
}

void TCellBlockPool::Clear() {
    for (TChunk& chunk : FChunks)
        FreeChunk(chunk.Data, size_t(chunk.Capacity) * FBlockSize);
    FChunks.clear();
    FRoom.clear();
    FFreeSlots.clear();
    FCapacitySum = 0;
    FCurrent = NoChunk;
}

uint32_t TCellBlockPool::NewChunk() {
    // Chunks double with the store, up to about a megabyte, so a small grid keeps a small chunk.
    const size_t largest =
        std::max<size_t>(FirstChunkBlocks, LargestChunkBytes / std::max<size_t>(FBlockSize, 1));
    const auto capacity = uint32_t(std::clamp<size_t>(FCapacitySum, FirstChunkBlocks, largest));
    TChunk chunk;
    chunk.Data = AllocateChunk(size_t(capacity) * FBlockSize);
    chunk.Capacity = capacity;
    FCapacitySum += capacity;
    if (!FFreeSlots.empty()) {
        const uint32_t slot = FFreeSlots.back();
        FFreeSlots.pop_back();
        FChunks[slot] = chunk;
        return slot;
    }
    FChunks.push_back(chunk);
    return uint32_t(FChunks.size() - 1);
}

unsigned char* TCellBlockPool::Take(uint32_t& chunk) {
    auto hasRoom = [](const TChunk& c) {
        return c.Data && (c.FreeList || c.Carved < c.Capacity);
    };
    if (FCurrent == NoChunk || !hasRoom(FChunks[FCurrent])) {
        FCurrent = NoChunk;
        while (!FRoom.empty() && FCurrent == NoChunk) {
            const uint32_t candidate = FRoom.back();
            FRoom.pop_back();
            if (hasRoom(FChunks[candidate]))
                FCurrent = candidate;
        }
        if (FCurrent == NoChunk)
            FCurrent = NewChunk();
    }
    TChunk& current = FChunks[FCurrent];
    unsigned char* block = current.FreeList;
    if (block)
        std::memcpy(&current.FreeList, block, sizeof(block));
    else
        block = current.Data + size_t(current.Carved++) * FBlockSize;
    ++current.Live;
    chunk = FCurrent;
    return block;
}

void TCellBlockPool::Give(unsigned char* block, uint32_t chunk) {
    TChunk& owner = FChunks[chunk];
    const bool wasFull = !owner.FreeList && owner.Carved == owner.Capacity;
    if (--owner.Live == 0) {
        FreeChunk(owner.Data, size_t(owner.Capacity) * FBlockSize);
        FCapacitySum -= owner.Capacity;
        owner = TChunk{};
        FFreeSlots.push_back(chunk);
        if (FCurrent == chunk)
            FCurrent = NoChunk;
        return;
    }
    std::memcpy(block, &owner.FreeList, sizeof(block));
    owner.FreeList = block;
    if (wasFull && chunk != FCurrent)
        FRoom.push_back(chunk);
}

TCells::TCells(TGxColumns& columns, QObject* ownerGrid) : FColumns(columns), FOwnerGrid(ownerGrid) {}

TCells::~TCells() {
    CompactList();
    for (int i = 0; i < FRowCount; ++i)
        DestroyRow(FRows[size_t(i)].Row);
}

void TCells::MakeCell(TRow* row, int column, bool insertPath) {
    const TGxCustomColumn* col = FColumns.GetColumn(column);
    void* slot = row->FCells + HeaderSize + size_t(column) * SlotSize;
    uint8_t kind = col->CellKind();
    if (insertPath && kind == ckIncrement)
        kind = ckInteger;
    if (insertPath && kind == ckGuid)
        kind = ckString;
    TCell* cell = nullptr;
    switch (kind) {
    case ckIncrement:
        cell = Construct<TIncrementCell>(slot);
        break;
    case ckBoolean:
        cell = Construct<TBooleanCell>(slot);
        break;
    case ckDateTime:
        cell = Construct<TDateTimeCell>(slot);
        break;
    case ckFloat:
        cell = Construct<TFloatCell>(slot);
        break;
    case ckGuid:
        cell = Construct<TGuidCell>(slot);
        break;
    case ckInteger:
        cell = Construct<TIntegerCell>(slot);
        break;
    case ckVirtual:
        cell = Construct<TVirtualCell>(slot);
        break;
    default:
        cell = Construct<TStringCell>(slot);
        break;
    }
    cell->FColumn = uint16_t(column);
    cell->FFontStyle = col->Font().Style;
    cell->SetCellColor(col->Color()); // locked: reports nothing
    cell->FFlags &= uint8_t(~TCell::FlagLocked);
}

TRow* TCells::MakeRow(bool insertPath) {
    auto row = std::make_unique<TRow>();
    row->FOwner = this;
    row->FHandle = FNextHandle++;
    row->Height = FDefaultRowHeight;
    const size_t blockSize = HeaderSize + size_t(std::max(FColumnCount, 0)) * SlotSize;
    if (!FBlocks || FBlocks->BlockSize() != blockSize) // only while the store has no rows
        FBlocks = std::make_unique<TCellBlockPool>(blockSize);
    row->FCells = AllocateCells(*FBlocks, row.get());
    int made = 0;
    try {
        for (; made < FColumnCount; ++made)
            MakeCell(row.get(), made, insertPath);
    } catch (...) {
        for (int i = 0; i < made; ++i)
            SlotCell(row.get(), i)->~TCell();
        FBlocks->Give(row->FCells, row->FChunk);
        throw;
    }
    FHandles.emplace(row->FHandle, row.get());
    return row.release();
}

void TCells::ForgetCellSideData(TCell* cell) {
    if (cell->FFlags & TCell::FlagHasHint)
        FHints.erase(cell);
    if (cell->FFlags & TCell::FlagHasReference)
        FReferences.erase(cell);
}

void TCells::DestroyRow(TRow* row) {
    for (int i = 0; i < FColumnCount; ++i) {
        TCell* cell = SlotCell(row, i);
        ForgetCellSideData(cell);
        cell->~TCell();
    }
    FBlocks->Give(row->FCells, row->FChunk);
    FHandles.erase(row->FHandle);
    delete row;
}

// ---- row list (gap buffer) ------------------------------------------------------------------

void TCells::MoveGap(int index) const {
    if (FGapSize == 0) {
        FGapStart = index;
        return;
    }
    if (index < FGapStart) {
        const int n = FGapStart - index;
        std::memmove(&FRows[size_t(index + FGapSize)], &FRows[size_t(index)], size_t(n) * sizeof(TRowEntry));
    } else if (index > FGapStart) {
        const int n = index - FGapStart;
        std::memmove(&FRows[size_t(FGapStart)], &FRows[size_t(FGapStart + FGapSize)],
                     size_t(n) * sizeof(TRowEntry));
    }
    FGapStart = index;
}

void TCells::CompactList() const {
    MoveGap(FRowCount);
}

void TCells::ListInsert(int index, TRow* row) {
    if (FGapSize == 0) {
        CompactList();
        const size_t grown = std::max<size_t>(16, FRows.size() * 2);
        FGapStart = FRowCount;
        FGapSize = int(grown) - FRowCount;
        FRows.resize(grown, TRowEntry{});
    }
    MoveGap(index);
    FRows[size_t(FGapStart)] = TRowEntry{row, row->FCells};
    ++FGapStart;
    --FGapSize;
    ++FRowCount;
}

void TCells::ListErase(int index) {
    MoveGap(index);
    ++FGapSize;
    --FRowCount;
}

// ---- row index cache ------------------------------------------------------------------------

void TCells::InvalidateIndexesFrom(int index) const {
    FIndexValidBelow = std::min(FIndexValidBelow, index);
}

void TCells::RefreshIndexes() const {
    for (int i = FIndexValidBelow; i < FRowCount; ++i)
        At(i).Row->FIndex = i;
    FIndexValidBelow = FRowCount;
}

int TCells::IndexOfRow(const TRow* row) const {
    if (!row || row->FOwner != this)
        return -1;
    if (row->FIndex >= 0 && row->FIndex < FIndexValidBelow)
        return row->FIndex;
    RefreshIndexes();
    return row->FIndex;
}

int TCells::RowByHandle(uint64_t handle) const {
    auto it = FHandles.find(handle);
    return it == FHandles.end() ? -1 : IndexOfRow(it->second);
}

void TCells::RowsReordered() {
    InvalidateIndexesFrom(0);
}

// ---- row operations -------------------------------------------------------------------------

void TCells::AddRows(int count) {
    for (int i = 0; i < count; ++i) {
        TRow* row = MakeRow(false);
        const bool cacheWhole = FIndexValidBelow == FRowCount;
        ListInsert(FRowCount, row);
        row->FIndex = FRowCount - 1;
        if (cacheWhole)
            FIndexValidBelow = FRowCount;
        ++FVisibleRowCount;
    }
    FSortedUnchanged = false;
}

void TCells::InsertRow(int index) {
    if (index < 0 || index > FRowCount)
        RaiseListIndexError(index);
    TRow* row = MakeRow(true);
    ListInsert(index, row);
    InvalidateIndexesFrom(index);
    ++FVisibleRowCount;
    FSortedUnchanged = false;
}

void TCells::AddChildRow(int parentIndex, int index) {
    CheckRow(parentIndex);
    if (index < 0 || index > FRowCount)
        RaiseListIndexError(index);
    TRow* parent = At(parentIndex).Row;
    TRow* row = MakeRow(true);
    row->ParentRow = parent;
    row->Shown = parent->Expanded;
    row->Level = parent->Level + 1;
    ++parent->ChildCount;
    ListInsert(index, row);
    InvalidateIndexesFrom(index);
    if (row->IsVisible())
        ++FVisibleRowCount;
    FSortedUnchanged = false;
}

void TCells::DeleteRow(int index) {
    CheckRow(index);
    TRow* row = At(index).Row;
    ListErase(index);
    InvalidateIndexesFrom(index);
    if (row->IsVisible())
        --FVisibleRowCount;
    DestroyRow(row);
}

void TCells::ClearRows() {
    CompactList();
    for (int i = 0; i < FRowCount; ++i)
        DestroyRow(FRows[size_t(i)].Row);
    FRows.clear();
    FGapStart = FGapSize = 0;
    FRowCount = FVisibleRowCount = 0;
    FIndexValidBelow = 0;
    FHandles.clear();
    FHints.clear();
    FReferences.clear();
    FSortedUnchanged = false;
}

void TCells::MoveRow(int from, int to) {
    CheckRow(from);
    CheckRow(to);
    if (from != to) {
        TRow* row = At(from).Row;
        ListErase(from);
        ListInsert(to, row);
        InvalidateIndexesFrom(std::min(from, to));
    }
    FSortedUnchanged = false;
}

void TCells::ExchangeRows(int a, int b) {
    CheckRow(a);
    CheckRow(b);
    std::swap(At(a), At(b));
    InvalidateIndexesFrom(std::min(a, b));
}

void TCells::SetRowVisible(int index, bool value) {
    TRow& row = GetRow(index);
    if (row.Visible == value)
        return;
    const bool before = row.IsVisible();
    row.Visible = value;
    FVisibleRowCount += int(row.IsVisible()) - int(before);
}

void TCells::SetRowShown(int index, bool value) {
    TRow& row = GetRow(index);
    if (row.Shown == value)
        return;
    const bool before = row.IsVisible();
    row.Shown = value;
    FVisibleRowCount += int(row.IsVisible()) - int(before);
}

int TCells::DescendantCount(int index) const {
    const int level = GetRow(index).Level;
    int count = 0;
    for (int i = index + 1; i < FRowCount && At(i).Row->Level > level; ++i)
        ++count;
    return count;
}

int TCells::DirectChildCount(int index) const {
    const int level = GetRow(index).Level;
    int count = 0;
    for (int i = index + 1; i < FRowCount && At(i).Row->Level > level; ++i)
        if (At(i).Row->Level == level + 1)
            ++count;
    return count;
}

void TCells::SetCellText(int column, int row, QAnyStringView text) {
    SetCellText(GetCell(column, row), text);
}

void TCells::SetCellText(TCell& cell, QAnyStringView text) {
    if (!cell.AsText()) {
        cell.SetAsString(text.toString());
        return;
    }
    static_cast<TStringCell&>(cell).FValue.Assign(text);
    if (!cell.Locked())
        CellChanged(&cell);
}

void TCells::SetCellColor(TCell& cell, TColor value) {
    cell.FColor = value;
    if (!cell.Locked())
        CellChanged(&cell);
}

void TCells::CellChanged(const TCell* cell) {
    if (OnCellChange && FChangeReports)
        OnCellChange(cell->Column(), cell->Row());
    FSortedUnchanged = false;
}

// ---- side data ------------------------------------------------------------------------------

QString TCells::CellHint(const TCell* cell) const {
    auto it = FHints.find(cell);
    return it == FHints.end() ? QString() : it->second;
}

void TCells::SetCellHint(TCell* cell, const QString& value) {
    if (value.isEmpty()) {
        FHints.erase(cell);
        cell->FFlags &= uint8_t(~TCell::FlagHasHint);
        return;
    }
    FHints[cell] = value;
    cell->FFlags |= TCell::FlagHasHint;
}

int32_t TCells::CellReference(const TCell* cell) const {
    auto it = FReferences.find(cell);
    return it == FReferences.end() ? 0 : it->second;
}

void TCells::SetCellReference(TCell* cell, int32_t value) {
    if (value == 0) {
        FReferences.erase(cell);
        cell->FFlags &= uint8_t(~TCell::FlagHasReference);
        return;
    }
    FReferences[cell] = value;
    cell->FFlags |= TCell::FlagHasReference;
}

// ---- column changes -------------------------------------------------------------------------

void TCells::ReshapeRows(int newCount, const std::function<int(int)>& sourceOfColumn) {
    const int oldCount = FColumnCount;
    std::vector<bool> moved(size_t(std::max(oldCount, 0)), false);
    auto reshaped = std::make_unique<TCellBlockPool>(HeaderSize + size_t(std::max(newCount, 0)) * SlotSize);
    for (int r = 0; r < FRowCount; ++r) {
        TRowEntry& entry = At(r);
        TRow* row = entry.Row;
        unsigned char* old = row->FCells;
        const uint32_t oldChunk = row->FChunk;
        row->FCells = AllocateCells(*reshaped, row);
        entry.Cells = row->FCells;
        std::fill(moved.begin(), moved.end(), false);
        for (int c = 0; c < newCount; ++c) {
            const int src = sourceOfColumn(c);
            if (src < 0) {
                MakeCell(row, c, true);
                continue;
            }
            auto* from = std::launder(reinterpret_cast<TCell*>(old + HeaderSize + size_t(src) * SlotSize));
            void* slot = row->FCells + HeaderSize + size_t(c) * SlotSize;
            from->MoveInto(slot);
            auto* to = static_cast<TCell*>(slot);
            to->FColumn = uint16_t(c);
            if (from->FFlags & TCell::FlagHasHint) {
                FHints[to] = FHints[from];
                FHints.erase(from);
            }
            if (from->FFlags & TCell::FlagHasReference) {
                FReferences[to] = FReferences[from];
                FReferences.erase(from);
            }
            from->FFlags &= uint8_t(~(TCell::FlagHasHint | TCell::FlagHasReference));
            from->~TCell();
            moved[size_t(src)] = true;
        }
        for (int c = 0; c < oldCount; ++c) {
            if (moved[size_t(c)])
                continue;
            auto* gone = std::launder(reinterpret_cast<TCell*>(old + HeaderSize + size_t(c) * SlotSize));
            ForgetCellSideData(gone);
            gone->~TCell();
        }
        FBlocks->Give(old, oldChunk);
    }
    FBlocks = std::move(reshaped);
    FColumnCount = newCount;
}

void TCells::ColumnAdded() {
    const int count = FColumnCount + 1;
    ReshapeRows(count, [count](int c) { return c < count - 1 ? c : -1; });
}

void TCells::ColumnDeleted(int index) {
    CheckColumn(index);
    if (FColumnCount == 1) {
        ClearRows();
        FColumnCount = 0;
        return;
    }
    ReshapeRows(FColumnCount - 1, [index](int c) { return c < index ? c : c + 1; });
}

void TCells::ColumnsCleared() {
    ClearRows();
    FColumnCount = 0;
}

void TCells::ColumnInserted(int index) {
    if (index < 0 || index > FColumnCount)
        RaiseListIndexError(index);
    ReshapeRows(FColumnCount + 1, [index](int c) { return c < index ? c : (c == index ? -1 : c - 1); });
    FSortedUnchanged = false;
}

void TCells::ColumnMoved(int from, int to) {
    CheckColumn(from);
    CheckColumn(to);
    if (from == to)
        return;
    std::vector<int> order(static_cast<size_t>(FColumnCount));
    std::iota(order.begin(), order.end(), 0);
    const int moved = order[size_t(from)];
    order.erase(order.begin() + from);
    order.insert(order.begin() + to, moved);
    ReshapeRows(FColumnCount, [&order](int c) { return order[size_t(c)]; });
}

// ---- sorting --------------------------------------------------------------------------------

namespace {

using IpKey = std::array<uint32_t, 4>;

// Four numbers of an address text; other characters are skipped, a part without digits is 0
// and long digit runs saturate.
IpKey AddressKey(QStringView text) {
    IpKey key{};
    int part = 0;
    uint64_t current = 0;
    auto store = [&] {
        if (part < 4)
            key[size_t(part)] = uint32_t(current);
        ++part;
        current = 0;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            current = std::min<uint64_t>(current * 10 + (c - u'0'), std::numeric_limits<uint32_t>::max());
        else if (c == u'.') {
            store();
            continue;
        }
        if (i == text.size() - 1)
            store();
    }
    return key;
}

QByteArray CaseInsensitiveKey(const QString& text) {
    QByteArray bytes = text.toUtf8();
    for (char& b : bytes)
        if (b >= 'A' && b <= 'Z')
            b = char(b - 'A' + 'a');
    return bytes;
}

bool LessDouble(double a, double b) {
    return (std::isnan(a) && !std::isnan(b)) || a < b;
}

template <class Key, class Less>
std::vector<uint32_t> SortedOrder(std::vector<std::pair<Key, uint32_t>>& keyed, Less less, bool descending) {
    if (descending)
        std::stable_sort(keyed.begin(), keyed.end(),
                         [&](const auto& a, const auto& b) { return less(b.first, a.first); });
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [&](const auto& a, const auto& b) { return less(a.first, b.first); });
    std::vector<uint32_t> order(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i)
        order[i] = keyed[i].second;
    return order;
}

template <class Key, class MakeKey, class Less>
std::vector<uint32_t> OrderBy(const std::vector<TCell*>& cells, MakeKey make, Less less, bool descending) {
    std::vector<std::pair<Key, uint32_t>> keyed;
    keyed.reserve(cells.size());
    for (size_t i = 0; i < cells.size(); ++i)
        keyed.emplace_back(make(*cells[i]), uint32_t(i));
    return SortedOrder(keyed, less, descending);
}

} // namespace

void TCells::Sort(int columnIndex, TSortType sortType, bool fullResort, bool descending) {
    CheckColumn(columnIndex);
    // The reverse shortcut also needs the same sort type: another type is another order.
    const bool full = columnIndex != FLastSortColumn || !FSortedUnchanged || descending == FSortDescending ||
                      fullResort || sortType != FLastSortType;
    CompactList();
    TRowEntry* rows = FRows.data();
    const size_t n = size_t(FRowCount);
    if (!full) {
        std::reverse(rows, rows + n);
    } else if (n >= 2) {
        std::vector<TCell*> cells(n);
        for (size_t i = 0; i < n; ++i)
            cells[i] = SlotCell(rows[i].Row, columnIndex);
        std::vector<uint32_t> order;
        switch (sortType) {
        case stBoolean:
            order = OrderBy<bool>(
                cells, [](TCell& c) { return c.GetAsBoolean(); }, std::less<bool>(), descending);
            break;
        case stCaseInsensitive:
            order = OrderBy<QByteArray>(
                cells, [](TCell& c) { return CaseInsensitiveKey(c.GetAsString()); }, std::less<QByteArray>(),
                descending);
            break;
        case stNumeric:
            order = OrderBy<double>(
                cells, [](TCell& c) { return c.GetAsFloat(); }, LessDouble, descending);
            break;
        case stDate:
            order = OrderBy<double>(
                cells, [](TCell& c) { return c.GetAsDateTime(); }, LessDouble, descending);
            break;
        case stIP:
            order = OrderBy<IpKey>(
                cells, [](TCell& c) { return AddressKey(c.GetAsString()); }, std::less<IpKey>(), descending);
            break;
        case stCustom: {
            order.resize(n);
            std::iota(order.begin(), order.end(), 0u);
            if (OnCompare) {
                auto compare = [&](uint32_t a, uint32_t b) {
                    int result = 0;
                    OnCompare(*cells[a], *cells[b], result);
                    return descending ? result > 0 : result < 0;
                };
                std::stable_sort(order.begin(), order.end(), compare);
            }
            break;
        }
        case stAlphabetic:
        default:
            order = OrderBy<QString>(
                cells, [](TCell& c) { return c.GetAsString(); }, std::less<QString>(), descending);
            break;
        }
        std::vector<TRowEntry> sorted(n);
        for (size_t i = 0; i < n; ++i)
            sorted[i] = rows[order[i]];
        std::copy(sorted.begin(), sorted.end(), rows);
    }
    FSortDescending = descending;
    FLastSortColumn = columnIndex;
    FLastSortType = sortType;
    FSortedUnchanged = true;
    RowsReordered();
}
