// The cell store of the table control: typed cells that convert between their types, one row
// record per row, and the store operations on rows (add, insert, delete, move, hide, sort).
// Each row keeps its cells in one block, so moving or sorting rows moves one pointer per row;
// a row also has a stable 64-bit handle by which a worker finds it again.
#pragma once

#include "grid/GxColumns.h"
#include "grid/GxTypes.h"

#include <QAnyStringView>
#include <QLocale>
#include <QString>
#include <QUuid>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

class TCells;
class TCell;
class TStringCell;

// Compact text of a string cell: short texts live inside the cell (up to 23 characters of
// Latin-1, as dates, addresses, down times and status words are, or 11 UTF-16 units of any
// other script), longer ones on the heap as UTF-16.
class TCellText {
public:
    TCellText() { Reset(); }
    ~TCellText() { Free(); }
    TCellText(const TCellText&) = delete;
    TCellText& operator=(const TCellText&) = delete;
    TCellText(TCellText&& other) noexcept;
    // Latin-1 that fits is copied as it is; other texts are stored from UTF-16.
    void Assign(QAnyStringView text);
    QString ToString() const;
    // Inline: the status tick reads thousands of these per pass.
    QAnyStringView View() const {
        const uint8_t tag = Tag();
        if (tag <= Latin1Capacity)
            return QAnyStringView(QLatin1StringView(reinterpret_cast<const char*>(FData), tag));
        if (tag != HeapTag)
            return QStringView(reinterpret_cast<const char16_t*>(FData), tag & ~Utf16Tag);
        return QStringView(HeapData(), HeapLength());
    }
    bool IsEmpty() const { return Tag() == 0 || (Tag() == HeapTag && HeapLength() == 0); }

private:
    // Byte 23 tells the form: 0..23 Latin-1 characters in bytes 0..22; Utf16Tag | n for n UTF-16
    // units in bytes 0..21; HeapTag for a heap buffer (pointer, length and capacity in bytes 0..15).
    static constexpr uint8_t Latin1Capacity = 23;
    static constexpr int Utf16Capacity = 11;
    static constexpr uint8_t Utf16Tag = 0x80;
    static constexpr uint8_t HeapTag = 0xFF;
    uint8_t Tag() const { return FData[TagByte]; }
    void Reset() { FData[TagByte] = 0; }
    void AssignUtf16(QStringView text);
    // Frees a heap buffer and stores an inline form; bytes must not be this text's own.
    void SetInline(const void* bytes, size_t size, uint8_t tag);
    void Free();
    const char16_t* HeapData() const {
        char16_t* p = nullptr;
        std::memcpy(&p, FData, sizeof(p));
        return p;
    }
    uint32_t HeapLength() const {
        uint32_t length = 0;
        std::memcpy(&length, FData + 8, sizeof(length));
        return length;
    }
    uint32_t HeapCapacity() const;
    static constexpr int TagByte = 23;
    alignas(8) unsigned char FData[24];
};

// Row record: tree data, height, selection and visibility of one row.
struct TRow {
    int32_t ChildCount = 0;
    bool Expanded = true;
    int32_t ImageIndex = -1;
    int32_t Level = 0;
    TRow* ParentRow = nullptr;
    int32_t Height = 16;
    bool Selected = false;
    bool Shown = true;
    bool Visible = true;
    bool IsVisible() const { return Shown && Visible; }
    uint64_t Handle() const { return FHandle; }

private:
    friend class TCells;
    friend class TCell;
    TCells* FOwner = nullptr;
    uint64_t FHandle = 0;
    int32_t FIndex = -1;             // current index while the store's index cache covers it
    uint32_t FChunk = 0;             // the block pool's chunk holding FCells
    unsigned char* FCells = nullptr; // one slot per column after a back pointer to this row
};

// Row cell blocks of one size, carved from chunks of many blocks: adding a row costs no heap call
// of its own, and a chunk goes back to the heap when its last row is deleted.
class TCellBlockPool {
public:
    explicit TCellBlockPool(size_t blockSize) : FBlockSize(blockSize) {}
    ~TCellBlockPool();
    TCellBlockPool(const TCellBlockPool&) = delete;
    TCellBlockPool& operator=(const TCellBlockPool&) = delete;
    size_t BlockSize() const { return FBlockSize; }
    unsigned char* Take(uint32_t& chunk);
    void Give(unsigned char* block, uint32_t chunk);
    void Clear();

private:
    struct TChunk {
        unsigned char* Data = nullptr;
        unsigned char* FreeList = nullptr; // given-back blocks, linked through their first word
        uint32_t Capacity = 0;
        uint32_t Carved = 0; // blocks handed out at least once
        uint32_t Live = 0;
    };
    uint32_t NewChunk();
    size_t FBlockSize;
    size_t FCapacitySum = 0;
    std::vector<TChunk> FChunks;
    std::vector<uint32_t> FRoom;      // chunks that may have a free block
    std::vector<uint32_t> FFreeSlots; // FChunks entries without memory
    uint32_t FCurrent = UINT32_MAX;
};

// Base of every cell: typed accessors that convert, a colour, a hint and flags.
class TCell {
public:
    virtual ~TCell() = default;

    virtual bool GetAsBoolean() const = 0;
    virtual double GetAsDateTime() const = 0;
    virtual double GetAsFloat() const = 0;
    virtual int32_t GetAsInteger() const = 0;
    virtual QString GetAsString() const = 0;
    virtual void SetAsBoolean(bool value);
    virtual void SetAsDateTime(double value);
    virtual void SetAsFloat(double value);
    virtual void SetAsInteger(int32_t value);
    virtual void SetAsString(const QString& value);
    virtual void Clear();
    virtual uint8_t CellClass() const = 0; // the cell kind it was made for

    // Position of this cell (its own, not that of the last lookup).
    int Column() const { return FColumn; }
    int Row() const;
    TRow& RowObject() const;
    TCells& Owner() const;

    TColor Color() const { return FColor; }
    void SetCellColor(TColor value);
    TFontStyles FontStyle() const { return FFontStyle; }
    void SetFontStyle(TFontStyles value) { FFontStyle = value; }
    QString Hint() const;
    void SetHint(const QString& value);
    int32_t ObjectReference() const;
    void SetObjectReference(int32_t value);
    bool Empty() const { return FFlags & FlagEmpty; }
    void SetEmpty(bool value);
    bool Locked() const { return FFlags & FlagLocked; }
    // This cell as a text cell, or null: a walk over thousands of cells reads their texts in
    // place without a call through the cell's table.
    const TStringCell* AsText() const;

protected:
    TCell() = default;
    TCell(TCell&& other) noexcept
        : FColor(other.FColor), FColumn(other.FColumn), FFontStyle(other.FFontStyle), FFlags(other.FFlags) {}
    void Changed();
    const QLocale& Locale() const;

private:
    friend class TCells;
    friend class TStringCell;
    static constexpr uint8_t FlagEmpty = 1;
    static constexpr uint8_t FlagLocked = 2;
    static constexpr uint8_t FlagHasHint = 4;
    static constexpr uint8_t FlagHasReference = 8;
    static constexpr uint8_t FlagText = 16; // a TStringCell
    // Moves the cell into another slot (column blocks are rebuilt when columns change).
    virtual void MoveInto(void* slot) = 0;

    TColor FColor = clWindow;
    uint16_t FColumn = 0;
    TFontStyles FFontStyle = 0;
    uint8_t FFlags = FlagLocked;
};

class TBooleanCell final : public TCell {
public:
    bool GetAsBoolean() const override { return FValue; }
    double GetAsDateTime() const override { return 0; }
    double GetAsFloat() const override { return FValue ? 1.0 : 0.0; }
    int32_t GetAsInteger() const override { return FValue ? 1 : 0; }
    QString GetAsString() const override;
    void SetAsBoolean(bool value) override;
    void SetAsDateTime(double value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsString(const QString& value) override;
    void Clear() override;
    uint8_t CellClass() const override { return ckBoolean; }

private:
    void MoveInto(void* slot) override;
    bool FValue = false;
};

class TDateTimeCell final : public TCell {
public:
    bool GetAsBoolean() const override { return false; }
    double GetAsDateTime() const override { return FValue; }
    double GetAsFloat() const override { return FValue; }
    int32_t GetAsInteger() const override;
    QString GetAsString() const override;
    void SetAsBoolean(bool value) override;
    void SetAsDateTime(double value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsString(const QString& value) override;
    void Clear() override;
    uint8_t CellClass() const override { return ckDateTime; }

private:
    void MoveInto(void* slot) override;
    double FValue = 0;
};

class TFloatCell final : public TCell {
public:
    bool GetAsBoolean() const override { return false; }
    double GetAsDateTime() const override { return FValue; }
    double GetAsFloat() const override { return FValue; }
    int32_t GetAsInteger() const override;
    QString GetAsString() const override;
    void SetAsBoolean(bool value) override;
    void SetAsDateTime(double value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsString(const QString& value) override;
    void Clear() override;
    uint8_t CellClass() const override { return ckFloat; }

private:
    void MoveInto(void* slot) override;
    double FValue = 0;
};

class TIntegerCell final : public TCell {
public:
    bool GetAsBoolean() const override { return FValue > 0; }
    double GetAsDateTime() const override { return 0; }
    double GetAsFloat() const override { return FValue; }
    int32_t GetAsInteger() const override { return FValue; }
    QString GetAsString() const override { return QString::number(FValue); }
    void SetAsBoolean(bool value) override;
    void SetAsDateTime(double value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsString(const QString& value) override;
    void Clear() override;
    uint8_t CellClass() const override { return ckInteger; }

private:
    void MoveInto(void* slot) override;
    int32_t FValue = 0;
};

class TStringCell final : public TCell {
public:
    TStringCell() { FFlags |= FlagText; }
    bool GetAsBoolean() const override;
    double GetAsDateTime() const override;
    double GetAsFloat() const override;
    int32_t GetAsInteger() const override;
    QString GetAsString() const override { return FValue.ToString(); }
    void SetAsBoolean(bool value) override;
    void SetAsDateTime(double value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsString(const QString& value) override;
    void Clear() override;
    uint8_t CellClass() const override { return ckString; }
    QAnyStringView View() const { return FValue.View(); }

protected:
    TStringCell(TStringCell&& other) noexcept : TCell(std::move(other)), FValue(std::move(other.FValue)) {}

private:
    friend class TCells;
    void MoveInto(void* slot) override;
    TCellText FValue;
};

inline const TStringCell* TCell::AsText() const {
    return (FFlags & FlagText) ? static_cast<const TStringCell*>(this) : nullptr;
}

// Running number: reads as its row's position + 1 and stores nothing.
class TIncrementCell final : public TCell {
public:
    bool GetAsBoolean() const override { return false; }
    double GetAsDateTime() const override { return 0; }
    double GetAsFloat() const override { return Row() + 1; }
    int32_t GetAsInteger() const override { return Row() + 1; }
    QString GetAsString() const override { return QString::number(Row() + 1); }
    void Clear() override {}
    uint8_t CellClass() const override { return ckIncrement; }

private:
    void MoveInto(void* slot) override;
};

// Cells whose value is text with a typed meaning share the text-to-type conversions.
class TTextBackedCell : public TCell {
public:
    bool GetAsBoolean() const override;
    double GetAsDateTime() const override;
    double GetAsFloat() const override;
    int32_t GetAsInteger() const override;
    void SetAsBoolean(bool value) override;
    void SetAsDateTime(double value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int32_t value) override;

protected:
    TTextBackedCell() = default;
    TTextBackedCell(TTextBackedCell&& other) noexcept : TCell(std::move(other)) {}
};

class TGuidCell final : public TTextBackedCell {
public:
    TGuidCell() : FValue(QUuid::createUuid()) {}
    QString GetAsString() const override;
    void SetAsString(const QString& value) override;
    void Clear() override;
    uint8_t CellClass() const override { return ckGuid; }
    const QUuid& Value() const { return FValue; }

private:
    void MoveInto(void* slot) override;
    QUuid FValue;
};

// Keeps no value: reads and writes go to its column's value events.
class TVirtualCell final : public TTextBackedCell {
public:
    QString GetAsString() const override;
    void SetAsString(const QString& value) override;
    void Clear() override;
    uint8_t CellClass() const override { return ckVirtual; }

private:
    void MoveInto(void* slot) override;
};

// The store.
class TCells {
public:
    // columns: the grid's column collection (borrowed).
    TCells(TGxColumns& columns, QObject* ownerGrid = nullptr);
    ~TCells();
    TCells(const TCells&) = delete;
    TCells& operator=(const TCells&) = delete;

    int ColumnCount() const { return FColumnCount; }
    int RowCount() const { return FRowCount; }
    int VisibleRowCount() const { return FVisibleRowCount; }
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int value) { FDefaultRowHeight = value; }
    QObject* OwnerGrid() const { return FOwnerGrid; }
    TGxColumns& Columns() const { return FColumns; }

    const QLocale& Locale() const { return FColumns.Locale(); }

    // Rows. Indexes are checked: a bad one raises "List index out of bounds (%d)".
    void AddRows(int count);
    void InsertRow(int index);
    void AddChildRow(int parentIndex, int index);
    void DeleteRow(int index);
    void ClearRows();
    void MoveRow(int from, int to);
    void ExchangeRows(int a, int b);
    void SetRowVisible(int index, bool value);
    void SetRowShown(int index, bool value);
    int DescendantCount(int index) const;
    int DirectChildCount(int index) const;
    // Inline: every cell access of a walk over the rows comes through here.
    TCell& GetCell(int column, int row) const {
        CheckRow(row);
        CheckColumn(column);
        return *std::launder(
            reinterpret_cast<TCell*>(At(row).Cells + HeaderSize + size_t(column) * SlotSize));
    }
    // Sets a cell's text as SetAsString does, but reaches neither the row record nor the block's
    // head for a text cell: a walk that rewrites one cell of thousands of rows touches only it.
    // A Latin-1 text is stored without a round trip through UTF-16.
    void SetCellText(int column, int row, QAnyStringView text);
    // The same for a cell of this store already at hand.
    void SetCellText(TCell& cell, QAnyStringView text);
    // Sets a cell's colour as TCell::SetCellColor does, without reaching its row record.
    void SetCellColor(TCell& cell, TColor value);
    TRow& GetRow(int index) const {
        CheckRow(index);
        return *At(index).Row;
    }
    int IndexOfRow(const TRow* row) const;
    void CheckRow(int index) const {
        if (index < 0 || index >= FRowCount)
            RaiseListIndexError(index);
    }
    void CheckColumn(int index) const {
        if (index < 0 || index >= FColumnCount)
            RaiseListIndexError(index);
    }

    // Stable handles: a row keeps its handle through sorts, inserts, moves and deletes of
    // other rows. RowByHandle gives the current index or -1 when the row is gone.
    uint64_t RowHandle(int index) const { return GetRow(index).FHandle; }
    int RowByHandle(uint64_t handle) const;

    // Column changes from the collection.
    void ColumnAdded();
    void ColumnDeleted(int index);
    void ColumnsCleared();
    void ColumnInserted(int index);
    void ColumnMoved(int from, int to);

    // Sorting: keys are computed once; a key that cannot be made raises before any row moves
    // and leaves the sort state unchanged. Equal keys keep their order.
    void Sort(int columnIndex, TSortType sortType, bool fullResort, bool descending);
    bool SortedUnchanged() const { return FSortedUnchanged; }
    int LastSortColumn() const { return FLastSortColumn; }
    bool SortDescending() const { return FSortDescending; }

    // Cell changes reach OnCellChange only while reports are on (the grid turns them off for
    // the length of a bulk update); the sort state is cleared either way.
    void SetChangeReports(bool value) { FChangeReports = value; }

    // Hooks the grid installs.
    std::function<void(int column, int row)> OnCellChange;
    std::function<void(TCell& cell1, TCell& cell2, int& result)> OnCompare;

    // Side data of cells (rarely set, kept out of the cells).
    QString CellHint(const TCell* cell) const;
    void SetCellHint(TCell* cell, const QString& value);
    int32_t CellReference(const TCell* cell) const;
    void SetCellReference(TCell* cell, int32_t value);

private:
    friend class TCell;
    static constexpr size_t SlotSize = 40;
    static constexpr size_t HeaderSize = sizeof(TRow*);
    static TRow* RowOfCell(const TCell* cell);
    static unsigned char* AllocateCells(TCellBlockPool& pool, TRow* row);
    static TCell* SlotCell(TRow* row, int column);

    TRow* MakeRow(bool insertPath);
    void MakeCell(TRow* row, int column, bool insertPath);
    void DestroyRow(TRow* row);
    void ForgetCellSideData(TCell* cell);
    void ReshapeRows(int newCount, const std::function<int(int)>& sourceOfColumn);
    void CellChanged(const TCell* cell);
    void InvalidateIndexesFrom(int index) const;
    void RefreshIndexes() const;
    void RowsReordered();

    // Row list: a gap buffer, so runs of edits at nearby positions stay linear.
    // One entry per row: the record and its cells (kept here so a lookup touches one list).
    struct TRowEntry {
        TRow* Row = nullptr;
        unsigned char* Cells = nullptr;
    };
    TRowEntry& At(int index) const { return FRows[size_t(index < FGapStart ? index : index + FGapSize)]; }
    void ListInsert(int index, TRow* row);
    void ListErase(int index);
    void MoveGap(int index) const;
    void CompactList() const;

    TGxColumns& FColumns;
    QObject* FOwnerGrid;
    int FColumnCount = 0;
    int FRowCount = 0;
    int FVisibleRowCount = 0;
    int FDefaultRowHeight = 16;
    bool FSortedUnchanged = false;
    int FLastSortColumn = -1;
    bool FSortDescending = false;
    TSortType FLastSortType = stAlphabetic;
    uint64_t FNextHandle = 1;
    bool FChangeReports = true;

    mutable std::vector<TRowEntry> FRows;
    mutable int FGapStart = 0;
    mutable int FGapSize = 0;
    mutable int FIndexValidBelow = 0; // rows below this index have a correct cached index
    std::unique_ptr<TCellBlockPool> FBlocks;
    std::unordered_map<uint64_t, TRow*> FHandles;
    std::unordered_map<const TCell*, QString> FHints;
    std::unordered_map<const TCell*, int32_t> FReferences;
};
