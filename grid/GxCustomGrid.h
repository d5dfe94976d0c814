// Middle layer of the table control model: what mouse and keyboard handling decide without a
// display. Column hit tests by x, the drop place of a dragged header, the sort toggle of a
// header click, the row search and the type-ahead text, and the events the window fires.
#pragma once

#include "grid/GxCustomGridControl.h"

#include <functional>

// Milliseconds after which a typed key starts a new search text.
inline constexpr int TypeAheadDelayMs = 700;

class TGxCustomGrid : public TGxCustomGridControl {
    Q_OBJECT
public:
    explicit TGxCustomGrid(QObject* parent = nullptr);
    ~TGxCustomGrid() override;

    // Left edge of the cell body (12 with the indicator).
    int BodyLeft() const { return HasOption(goIndicator) ? IndicatorWidth : 0; }
    // The first visible column in display order whose span Left..Left + Width (both inclusive,
    // scrolled unless fixed) holds x; nil when none.
    TGxCustomColumn* GetColumnAtX(int x) const;
    // The first visible column without coFixedSize whose right edge e has e - 3 <= x <= e + 2;
    // scrolling columns whose edge lies under the fixed ones do not count.
    TGxCustomColumn* GetColumnEdgeAtX(int x) const;
    // The display position a dragged column would take when dropped at x.
    int GetDropPosition(const TGxCustomColumn& column, int x) const;
    // Whether a column may be dropped at a display position (goLockFixedCols keeps the fixed
    // columns apart from the others).
    bool CanDropAt(const TGxCustomColumn& column, int position) const;

    // The release of a click on a header with coCanSort: a sorted column flips its sort kind,
    // another becomes the only sorted column; the grid then sorts.
    void ToggleSort(TGxCustomColumn& column);

    // Visible rows whose text in the column starts with text (ignoring case) from the row after
    // the current one round to it (from row 0 with fromStart); the first becomes current.
    bool SearchRows(int col, const QString& text, bool fromStart);
    // A typed character of the type-ahead search: appended to the search text (a fresh one
    // after TypeAheadDelayMs) and searched for; false when the grid has no search for it.
    bool TypeAhead(QChar key);
    // The search text now (empty once the delay has passed).
    QString SearchText() const;
    void ClearSearch() { FSearchText.clear(); }
    // The search column's index, -1 when no column has coSearchColumn.
    int SearchColumn() const;
    // Milliseconds of a monotonic clock; tests set their own.
    std::function<qint64()> Clock;

    std::function<void(QObject* sender, int col)> OnHeaderClick;
    std::function<void(QObject* sender, int col)> OnHeaderDblClick;
    std::function<void(QObject* sender, int col)> OnFooterClick;
    std::function<void(QObject* sender, int col, int row)> OnCellClick;
    std::function<void(QObject* sender, int col, int row)> OnCellDblClick;
    std::function<void(QObject* sender, int fromPos, int toPos, bool& accept)> OnRowMove;
    std::function<void(QObject* sender, int fromPos, int toPos)> OnAfterRowMove;
    std::function<void(QObject* sender, int col, int row, QString& value)> OnApplyCell;
    std::function<void(QObject* sender)> OnMouseEnter;
    std::function<void(QObject* sender)> OnMouseLeave;

private:
    qint64 Now() const;
    QString FSearchText;
    qint64 FLastSearchKey = 0;
};
