// The grid view under real mouse and key events: header clicks and sorting, header drags and
// drops, column and row resizing, row moving, double clicks, multiple selection, check boxes
// and tree buttons, typing into cells and the editor's Enter, Esc and Tab, conversion errors
// and focus loss, Tab leaving the grid, the wheel, pages, type-ahead, hints, the application
// losing activation, and who owns an in-place editor.
#include "grid/widgets/GxEdit.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

std::unique_ptr<TGxGridView> Shown(TDataGrid& grid, int width = 400, int height = 200) {
    auto view = MakeView(grid, width, height);
    view->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
    view->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    return view;
}

QPoint CellAt(const TGxGridView& view, int col, int row) {
    return view.CellRect(col, row).center();
}

// A move with buttons held, as the window system sends it during a drag.
void Drag(TGxGridView& view, const QPoint& pos, Qt::MouseButtons buttons = Qt::LeftButton) {
    QMouseEvent move(QEvent::MouseMove, pos, view.viewport()->mapToGlobal(pos), Qt::NoButton, buttons,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
}

void Hover(TGxGridView& view, const QPoint& pos) {
    Drag(view, pos, Qt::NoButton);
}

void Click(TGxGridView& view, const QPoint& pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(view.viewport(), button, modifiers, pos);
}

void DoubleClick(TGxGridView& view, const QPoint& pos) {
    // The window's overload: the widget one sends no press or release in this Qt.
    QTest::mouseDClick(view.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                       view.viewport()->mapTo(&view, pos));
}

void Wheel(TGxGridView& view, int delta) {
    const QPoint at(30, 60);
    QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
}

void Editable(TDataGrid& grid, int col) {
    TGxCustomColumn* column = grid.Columns().GetColumn(col);
    column->SetOptions(column->Options() | coEditing);
}

// Keys go where the focus is, as typing does: the first may open an editor that takes the rest.
void Type(const QString& text) {
    for (QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

QLineEdit* EditorOf(TGxGridView& view) {
    return qobject_cast<QLineEdit*>(view.EditorWidget());
}

} // namespace

TEST(GridHeaderMouse, WithoutCanClickNoSortAndNoHeaderClick) {
    auto grid = MakeGrid(5);
    auto view = Shown(*grid);
    QList<int> clicks;
    grid->OnHeaderClick = [&](QObject*, int col) {
        clicks << col;
    };
    TGxCustomColumn* name = grid->Columns().GetColumn(0);
    name->SetOptions(name->Options() & ~coCanClick);
    Click(*view, QPoint(40, 9));
    EXPECT_TRUE(clicks.isEmpty());
    EXPECT_FALSE(name->Sorted());
    EXPECT_EQ(view->PressedHeaderColumn(), -1);
}

TEST(GridHeaderMouse, ClicksSortAscendingThenDescendingAndMoveTheSort) {
    auto grid = MakeGrid(5);
    auto view = Shown(*grid);
    QList<int> clicks;
    grid->OnHeaderClick = [&](QObject*, int col) {
        clicks << col;
    };
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 9));
    EXPECT_EQ(view->PressedHeaderColumn(), 2);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 9));
    TGxCustomColumn* count = grid->Columns().GetColumn(2);
    EXPECT_TRUE(count->Sorted());
    EXPECT_EQ(count->SortKind(), skAscending);
    Click(*view, QPoint(200, 9));
    EXPECT_EQ(count->SortKind(), skDescending);
    EXPECT_EQ(grid->Cell(2, 0).GetAsInteger(), 4);
    Click(*view, QPoint(40, 9));
    EXPECT_TRUE(grid->Columns().GetColumn(0)->Sorted());
    EXPECT_FALSE(count->Sorted());
    EXPECT_EQ(clicks, QList<int>({2, 2, 0}));
}

TEST(GridHeaderMouse, ADragStartsAfterMoreThanThreePixelsAndMovesTheColumn) {
    auto grid = MakeGrid(5);
    auto view = Shown(*grid);
    QList<QList<int>> moves;
    grid->OnColumnMove = [&](QObject*, int col, int from, int to) {
        moves << QList<int>{col, from, to};
    };
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 9));
    Drag(*view, QPoint(23, 12));
    EXPECT_FALSE(view->DraggingColumn()); // 3 pixels
    Drag(*view, QPoint(24, 9));
    EXPECT_TRUE(view->DraggingColumn()); // 4 pixels
    EXPECT_TRUE(view->DragBox().isVisible());
    EXPECT_EQ(view->DragBox().size(), QSize(80, 18));
    Drag(*view, QPoint(230, 9)); // the right half of Count: after it
    EXPECT_TRUE(view->DownArrow().isVisible());
    EXPECT_TRUE(view->UpArrow().isVisible());
    const QPoint edge = view->viewport()->mapToGlobal(QPoint(240, 0));
    EXPECT_EQ(view->DownArrow().pos(), QPoint(edge.x() - 4, edge.y() - 12));
    EXPECT_EQ(view->UpArrow().pos(), QPoint(edge.x() - 4, edge.y() + 17));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(230, 9));
    EXPECT_FALSE(view->DraggingColumn());
    EXPECT_FALSE(view->DragBox().isVisible());
    EXPECT_FALSE(view->DownArrow().isVisible());
    EXPECT_EQ(grid->Columns().GetColumn(0)->Position(), 2);
    EXPECT_EQ(moves, QList<QList<int>>({{0, 0, 2}}));
    EXPECT_FALSE(grid->Columns().GetColumn(0)->Sorted()); // a drag is no click
}

TEST(GridHeaderMouse, ADropOutsideHidesOnlyUnderCanHideColumn) {
    auto grid = MakeGrid(5);
    auto view = Shown(*grid);
    auto dropBelow = [&] {
        QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 9));
        Drag(*view, QPoint(130, 9));
        Drag(*view, QPoint(130, 100));
        EXPECT_EQ(view->viewport()->cursor().shape(), Qt::ForbiddenCursor);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(130, 100));
    };
    dropBelow();
    EXPECT_TRUE(grid->Columns().GetColumn(1)->Visible());
    EXPECT_EQ(grid->Columns().GetColumn(1)->Position(), 1);
    grid->SetOptions(grid->Options() | goCanHideColumn);
    dropBelow();
    EXPECT_FALSE(grid->Columns().GetColumn(1)->Visible());
}

TEST(GridHeaderMouse, ResizingDrawsInvertedLinesAndStopsAtMinWidth) {
    auto grid = MakeGrid(5);
    auto view = Shown(*grid);
    Hover(*view, QPoint(160, 9));
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::SplitHCursor);
    const QImage before = Grab(*view);
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(161, 9));
    ASSERT_EQ(view->ResizingColumn(), 1);
    Drag(*view, QPoint(190, 60));
    const QImage during = Grab(*view);
    // The lines invert what lies under them, over the whole height.
    for (int y : {5, 60, 150})
        EXPECT_EQ(At(during, 190, y), ~At(before, 190, y) & 0xFFFFFF) << y;
    EXPECT_EQ(At(during, 79, 60), ~At(before, 79, 60) & 0xFFFFFF);
    Drag(*view, QPoint(60, 60)); // far left of the column: MinWidth 8 stops the line
    EXPECT_EQ(view->ResizeDelta(), 8 - 80);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    EXPECT_EQ(grid->Columns().GetColumn(1)->Width(), 8);
    EXPECT_EQ(view->ResizingColumn(), -1);
    EXPECT_EQ(Grab(*view).pixel(200, 150), Grab(*view).pixel(200, 150));
}

TEST(GridMouse, DoubleClicksFitAnEdgeAndTellHeadersAndCells) {
    auto grid = MakeGrid(5);
    grid->Cell(0, 2).SetAsString("a much longer host name");
    auto view = Shown(*grid);
    QList<int> headers;
    QList<QPoint> cells;
    grid->OnHeaderDblClick = [&](QObject*, int col) {
        headers << col;
    };
    grid->OnCellDblClick = [&](QObject*, int col, int row) {
        cells << QPoint(col, row);
    };
    Hover(*view, QPoint(80, 9));
    DoubleClick(*view, QPoint(80, 9));
    const QFontMetrics metrics(view->font());
    EXPECT_EQ(grid->Columns().GetColumn(0)->Width(),
              metrics.horizontalAdvance("a much longer host name") + 5);
    EXPECT_TRUE(headers.isEmpty());
    DoubleClick(*view, view->HeaderCellRect(*grid->Columns().GetColumn(3)).center());
    EXPECT_EQ(headers, QList<int>({3}));
    DoubleClick(*view, CellAt(*view, 3, 1));
    EXPECT_EQ(cells, QList<QPoint>({QPoint(3, 1)}));
}

TEST(GridMouse, CtrlAndShiftClicksSelectRows) {
    auto grid = MakeGrid(8);
    grid->SetOptions(goHeader | goSelectFullRow | goMultiSelect);
    auto view = Shown(*grid);
    Click(*view, CellAt(*view, 0, 1));
    Click(*view, CellAt(*view, 0, 3), Qt::ControlModifier);
    grid->SetRowVisible(4, false);
    Click(*view, CellAt(*view, 0, 6), Qt::ShiftModifier);
    QList<int> selected;
    for (int r = 0; r < grid->RowCount(); ++r)
        if (grid->GetRowSelected(r))
            selected << r;
    EXPECT_EQ(selected, QList<int>({3, 5, 6}));
    // A right press inside the selection keeps it.
    Click(*view, CellAt(*view, 0, 5), Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(grid->SelectedCount(), 3);
    Click(*view, CellAt(*view, 0, 7));
    EXPECT_EQ(grid->SelectedCount(), 1);
    EXPECT_EQ(grid->SelectedRow(), 7);
}

TEST(GridCheckBox, AClickInsideTheBoxTogglesAndTheCellClickReadsTheNewValue) {
    auto grid = MakeGrid(3);
    Editable(*grid, 1);
    auto view = Shown(*grid);
    auto& column = static_cast<TGxCheckBoxColumn&>(*grid->Columns().GetColumn(1));
    QStringList events;
    column.OnChange = [&](TGxCustomColumn*) {
        events << "change";
    };
    grid->OnAfterEdit = [&](QObject*, int, int, const QString& value) {
        events << "after " + value;
    };
    grid->OnCellClick = [&](QObject*, int col, int row) {
        events << QString("click %1 reads %2").arg(col).arg(grid->Cell(col, row).GetAsString());
    };
    const QRect box = CheckBoxRect(column, view->CellRect(1, 1), view->Themed());
    Click(*view, box.center());
    EXPECT_TRUE(grid->Cell(1, 1).GetAsBoolean());
    Click(*view, box.center());
    EXPECT_FALSE(grid->Cell(1, 1).GetAsBoolean());
    EXPECT_EQ(events, QStringList({"change", "after True", "click 1 reads True", "change", "after False",
                                   "click 1 reads False"}));
    events.clear();
    Click(*view, QPoint(box.right() + 20, box.center().y())); // beside the box
    EXPECT_FALSE(grid->Cell(1, 1).GetAsBoolean());
    EXPECT_EQ(events, QStringList({"click 1 reads False"}));
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_TRUE(grid->Cell(1, 1).GetAsBoolean());
    // Without coEditing the box does not move.
    column.SetOptions(column.Options() & ~coEditing);
    Click(*view, box.center());
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_TRUE(grid->Cell(1, 1).GetAsBoolean());
}

TEST(GridTree, PlusMinusAndTheButtonFlipTheRow) {
    TDataGrid grid;
    grid.SetLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    grid.AddColumn<TGxTreeColumn>("Tree");
    grid.AddRow(1);
    grid.AddChildRow(0);
    grid.Cell(0, 0).SetAsString("parent");
    auto view = Shown(grid);
    Click(*view, QPoint(60, CellAt(*view, 0, 0).y()));
    QTest::keyClick(view.get(), Qt::Key_Minus);
    EXPECT_FALSE(grid.GetRowObject(0).Expanded);
    EXPECT_FALSE(grid.GetRowVisible(1));
    QTest::keyClick(view.get(), Qt::Key_Plus);
    EXPECT_TRUE(grid.GetRowVisible(1));
    const QRect button = TreeButtonRect(view->CellRect(0, 0), 0);
    Click(*view, button.center());
    EXPECT_FALSE(grid.GetRowObject(0).Expanded);
}

TEST(GridEditor, ATypedKeyOpensTheEditorOverTheCellAndReplacesTheText) {
    auto grid = MakeGrid(5);
    Editable(*grid, 0);
    auto view = Shown(*grid);
    Click(*view, CellAt(*view, 0, 2));
    Type("xy");
    ASSERT_TRUE(grid->EditingCell());
    QLineEdit* editor = EditorOf(*view);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->geometry(), view->CellRect(0, 2).adjusted(1, 1, -1, -1));
    EXPECT_EQ(editor->text(), "xy");
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->parentWidget(), view->viewport());
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(grid->CellText(0, 2), "xy");
    EXPECT_TRUE(view->hasFocus());
    // The built-in editor goes back to its column.
    EXPECT_EQ(editor->parentWidget(), nullptr);
    EXPECT_EQ(static_cast<TGxEdit*>(grid->Columns().GetColumn(0)->Editor()), editor);
}

TEST(GridEditor, ADigitTypedIntoANumberCellReplacesItsValue) {
    auto grid = MakeGrid(5);
    Editable(*grid, 2);
    static_cast<TGxNumberColumn*>(grid->Columns().GetColumn(2))->SetPrecision(2);
    auto view = Shown(*grid);
    Click(*view, CellAt(*view, 2, 3));
    Type("7");
    ASSERT_TRUE(grid->EditingCell());
    EXPECT_EQ(EditorOf(*view)->text(), "7"); // not the Min the empty text would read as
    QTest::keyClick(EditorOf(*view), Qt::Key_Return);
    EXPECT_EQ(grid->Cell(2, 3).GetAsFloat(), 7);
    ASSERT_TRUE(grid->EditCell(2, 3));
    EXPECT_EQ(EditorOf(*view)->text(), "7.00"); // the cell's value with the column's precision
    grid->EndEdit();
}

// A window may delete a grid before its view: the view then shows an empty grid of its own and
// takes paints, clicks and keys, as an item view does once its model has gone.
TEST(GridEditor, AGridDeletedWhileEditingLeavesItsViewEmptyAndUsable) {
    auto grid = MakeGrid(5);
    Editable(*grid, 0);
    auto view = Shown(*grid);
    const QPoint cell = CellAt(*view, 0, 1);
    Click(*view, cell);
    Type("zz");
    ASSERT_TRUE(grid->EditingCell());
    grid.reset();
    EXPECT_EQ(view->EditorWidget(), nullptr);
    EXPECT_EQ(view->Grid().RowCount(), 0);
    EXPECT_EQ(view->Grid().ColumnCount(), 0);
    Click(*view, cell);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(Grab(*view).pixel(cell) & 0xFFFFFF, view->Rgb(clWindow).rgb() & 0xFFFFFF);
}

TEST(GridEditor, EscClosesWithoutStoringOrClearsUnderEscClearEdit) {
    auto grid = MakeGrid(5);
    Editable(*grid, 0);
    auto view = Shown(*grid);
    Click(*view, CellAt(*view, 0, 1));
    Type("zz");
    QTest::keyClick(EditorOf(*view), Qt::Key_Escape);
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(grid->CellText(0, 1), "host1");
    grid->SetOptions(grid->Options() | goEscClearEdit);
    ASSERT_TRUE(grid->EditCell(0, 1));
    QTest::keyClick(EditorOf(*view), Qt::Key_Escape);
    EXPECT_TRUE(grid->Editing());
    EXPECT_EQ(EditorOf(*view)->text(), "");
    QTest::keyClick(EditorOf(*view), Qt::Key_Return);
    EXPECT_EQ(grid->CellText(0, 1), "");
}

TEST(GridEditor, AVetoedEditIsNotStoredAndEnterOrTabStillClose) {
    auto grid = MakeGrid(5);
    Editable(*grid, 0);
    grid->SetWantTabs(true);
    grid->OnEditAccept = [](QObject*, int, int, const QString&, bool& accept) {
        accept = false;
    };
    auto view = Shown(*grid);
    ASSERT_TRUE(grid->EditCell(0, 1, "vetoed"));
    QTest::keyClick(EditorOf(*view), Qt::Key_Return);
    EXPECT_FALSE(grid->Editing());
    ASSERT_TRUE(grid->EditCell(0, 1, "vetoed"));
    QTest::keyClick(EditorOf(*view), Qt::Key_Tab);
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(grid->CellText(0, 1), "host1");
}

TEST(GridEditor, AConversionErrorKeepsTheEditorOpenAndFocusLossDropsIt) {
    auto grid = MakeGrid(5);
    TGxCustomColumn* count = grid->Columns().GetColumn(2);
    Editable(*grid, 2);
    TGxEdit text; // a text editor on a number column lets a word through
    count->SetInplaceEdit(&text);
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* view = new TGxGridView(grid.get());
    auto* outside = new QLineEdit;
    layout->addWidget(view);
    layout->addWidget(outside);
    window.resize(500, 200);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(grid->EditCell(2, 1, "ten"));
    QTest::keyClick(&text, Qt::Key_Return);
    EXPECT_TRUE(grid->Editing());
    EXPECT_EQ(view->LastEditError(), "'ten' is not a valid floating point value");
    EXPECT_EQ(view->HintKind(), hkError);
    EXPECT_TRUE(view->HintWindow().isVisible());
    EXPECT_EQ(view->HintWindow().text(), "'ten' is not a valid floating point value");
    QTest::keyClick(&text, Qt::Key_Tab);
    EXPECT_TRUE(grid->Editing()); // Tab keeps it open too
    EXPECT_TRUE(text.hasFocus());
    QTest::mouseClick(outside, Qt::LeftButton); // the focus leaves: nothing is stored
    EXPECT_TRUE(outside->hasFocus());
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(grid->Cell(2, 1).GetAsInteger(), 1);
    EXPECT_FALSE(view->HintWindow().isVisible());
    // A program's editor goes back where it was.
    EXPECT_EQ(text.parentWidget(), nullptr);
    // Without the error, Tab from the editor leaves the grid as Tab from the grid does.
    ASSERT_TRUE(grid->EditCell(2, 1, "7"));
    QTest::keyClick(&text, Qt::Key_Tab);
    EXPECT_EQ(grid->Cell(2, 1).GetAsInteger(), 7);
    EXPECT_TRUE(outside->hasFocus());
    count->SetInplaceEdit(nullptr);
    layout->removeWidget(view);
    delete view;
}

TEST(GridEditor, AHeaderClickStoresTheEditInItsOwnRowBeforeSorting) {
    auto grid = MakeGrid(5);
    Editable(*grid, 3);
    auto view = Shown(*grid);
    const quint64 host3 = grid->RowHandle(3);
    Click(*view, CellAt(*view, 3, 3));
    Type("Down");
    ASSERT_TRUE(grid->Editing());
    Click(*view, QPoint(40, 9)); // sort by Name descending after the first click
    Click(*view, QPoint(40, 9));
    EXPECT_EQ(grid->CellText(0, 0), "host4");
    EXPECT_EQ(grid->CellText(3, grid->RowByHandle(host3)), "Down");
    EXPECT_EQ(grid->CellText(0, grid->RowByHandle(host3)), "host3");
    for (int r = 0; r < 5; ++r) {
        if (r != grid->RowByHandle(host3)) {
            EXPECT_EQ(grid->CellText(3, r), "OK") << r;
        }
    }
}

TEST(GridKeys, TabLeavesTheGridUnlessItWantsTabs) {
    auto grid = MakeGrid(3);
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* view = new TGxGridView(grid.get());
    auto* next = new QLineEdit;
    layout->addWidget(view);
    layout->addWidget(next);
    window.resize(500, 200);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    view->setFocus(Qt::OtherFocusReason);
    grid->SelectCell(0, 0);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_TRUE(next->hasFocus());
    EXPECT_EQ(grid->SelectedColumn(), 0);
    grid->SetWantTabs(true);
    view->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_TRUE(view->hasFocus());
    EXPECT_EQ(grid->SelectedColumn(), 1);
    QTest::keyClick(view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid->SelectedColumn(), 0);
    layout->removeWidget(view);
    delete view; // before the grid
}

TEST(GridKeys, FiveWheelNotchesMoveFiveVisibleRows) {
    auto grid = MakeGrid(100);
    for (int r : {2, 3, 7})
        grid->SetRowVisible(r, false);
    auto view = Shown(*grid);
    for (int i = 0; i < 5; ++i)
        Wheel(*view, -120);
    EXPECT_EQ(grid->FirstRow(), 8); // 0, 1, 4, 5, 6 scrolled away
    for (int i = 0; i < 3; ++i)
        Wheel(*view, 40); // a fine wheel: one row per 120
    EXPECT_EQ(grid->FirstRow(), 6);
    Wheel(*view, 60);
    EXPECT_EQ(grid->FirstRow(), 6);
}

TEST(GridKeys, PagesSkipHiddenRowsAndHomeEndGoToTheEnds) {
    auto grid = MakeGrid(60);
    grid->SetOptions(goHeader | goSelectFullRow | goMultiSelect);
    for (int r = 3; r < 40; r += 2)
        grid->SetRowVisible(r, false);
    auto view = Shown(*grid);
    grid->SetSelectedRow(0);
    const int page = view->PageRows();
    ASSERT_GE(page, 1);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    EXPECT_EQ(grid->SelectedRow(), view->LastFullyShownRow()); // first to the last shown row
    const int before = grid->SelectedRow();
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    int visible = 0;
    for (int r = before + 1; r <= grid->SelectedRow(); ++r)
        visible += grid->GetRowVisible(r) ? 1 : 0;
    EXPECT_EQ(visible, page);
    EXPECT_TRUE(grid->GetRowVisible(grid->SelectedRow()));
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(grid->SelectedRow(), 59);
    int hiddenSelected = 0;
    for (int r = 0; r < 60; ++r)
        hiddenSelected += grid->GetRowSelected(r) && !grid->GetRowVisible(r) ? 1 : 0;
    EXPECT_EQ(hiddenSelected, 0);
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(grid->SelectedRow(), 0);
    EXPECT_EQ(grid->FirstRow(), 0);
}

TEST(GridKeys, TypeAheadFindsRowsStartingWithTheTypedText) {
    auto grid = MakeGrid(0);
    grid->AddRow(4);
    const QStringList names{"gamma", "alpha", "abel", "zulu"};
    for (int r = 0; r < 4; ++r)
        grid->Cell(0, r).SetAsString(names[r]);
    TGxCustomColumn* name = grid->Columns().GetColumn(0);
    name->SetOptions(name->Options() | coSearchColumn);
    auto view = Shown(*grid);
    grid->SetSelectedRow(3);
    QTest::keyClicks(view.get(), "ab");
    EXPECT_EQ(grid->SelectedRow(), 2);
    EXPECT_FALSE(grid->Editing());
}

TEST(GridMouse, ApplicationDeactivationCancelsAColumnDrag) {
    auto grid = MakeGrid(3);
    auto view = Shown(*grid);
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 9));
    Drag(*view, QPoint(40, 9));
    ASSERT_TRUE(view->DraggingColumn());
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(view->DraggingColumn());
    EXPECT_FALSE(view->DragBox().isVisible());
    EXPECT_EQ(view->PressedHeaderColumn(), -1);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 9));
    EXPECT_EQ(grid->Columns().GetColumn(0)->Position(), 0);
}

TEST(GridMouse, HeaderHintsShowOnlyWhileTheWindowIsActive) {
    auto grid = MakeGrid(3);
    grid->Columns().GetColumn(2)->Header().SetHint("Checks counted");
    auto view = Shown(*grid);
    Hover(*view, QPoint(200, 9));
    EXPECT_EQ(view->HintKind(), hkHeader);
    EXPECT_TRUE(view->HintWindow().isVisible());
    EXPECT_EQ(view->HintWindow().text(), "Checks counted");
    EXPECT_EQ(view->HintWindow().pos(), view->viewport()->mapToGlobal(QPoint(160, 20)));
    Hover(*view, CellAt(*view, 0, 1));
    EXPECT_FALSE(view->HintWindow().isVisible());
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    Hover(*view, QPoint(200, 9));
    EXPECT_FALSE(view->HintWindow().isVisible());
}

TEST(GridMouse, RowsResizeInTheIndicatorAndMoveUnlessRefused) {
    auto grid = MakeGrid(6);
    grid->SetOptions(goHeader | goIndicator | goRowResizing | goRowMoving | goSelectFullRow);
    auto view = Shown(*grid);
    const int edge = view->RowTop(1) + 16;
    Hover(*view, QPoint(5, edge - 1));
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::SplitVCursor);
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, edge - 1));
    ASSERT_EQ(view->ResizingRow(), 1);
    Drag(*view, QPoint(5, view->RowTop(1) + 3)); // never above the row's top + 8
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, view->RowTop(1) + 3));
    EXPECT_EQ(grid->GetRowHeight(1), 8);

    QList<QPoint> asked;
    bool accept = false;
    grid->OnRowMove = [&](QObject*, int from, int to, bool& a) {
        asked << QPoint(from, to);
        a = accept;
    };
    auto moveRow0Below3 = [&] {
        QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, CellAt(*view, 1, 0));
        Drag(*view, CellAt(*view, 1, 0) + QPoint(0, 6));
        ASSERT_TRUE(view->MovingRow());
        const QPoint low(40, view->RowTop(3) + 12);
        Drag(*view, low);
        EXPECT_EQ(view->DropRow(), 3);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, low);
    };
    moveRow0Below3();
    EXPECT_EQ(grid->CellText(0, 0), "host0");
    accept = true;
    moveRow0Below3();
    EXPECT_EQ(asked, QList<QPoint>({QPoint(0, 3), QPoint(0, 3)}));
    EXPECT_EQ(grid->CellText(0, 3), "host0");
    EXPECT_EQ(grid->SelectedRow(), 3);
}

TEST(GridEditorOwnership, ColumnsKeepTheirEditorsAndDestroyedOnesAreForgotten) {
    auto grid = MakeGrid(4);
    Editable(*grid, 0);
    Editable(*grid, 2);
    TGxCustomEdit* builtIn = nullptr;
    {
        auto view = Shown(*grid);
        builtIn = grid->Columns().GetColumn(0)->Editor();
        ASSERT_NE(dynamic_cast<TGxEdit*>(builtIn), nullptr);
        ASSERT_NE(dynamic_cast<TGxSpinEdit*>(grid->Columns().GetColumn(2)->Editor()), nullptr);
        ASSERT_TRUE(grid->EditCell(0, 1, "kept"));
        // The view goes while editing: the text is stored and the editor survives it.
    }
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(grid->CellText(0, 1), "kept");
    EXPECT_EQ(dynamic_cast<QWidget*>(builtIn)->parentWidget(), nullptr);
    EXPECT_EQ(grid->Columns().GetColumn(0)->Editor(), builtIn);

    auto view = Shown(*grid);
    ASSERT_TRUE(grid->EditCell(2, 1));
    grid->Columns().RemoveColumn(grid->Columns().GetColumn(2)); // deleting a column ends its edit
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(view->EditorWidget(), nullptr);

    auto own = std::make_unique<TGxEdit>();
    grid->Columns().GetColumn(0)->SetInplaceEdit(own.get());
    ASSERT_TRUE(grid->EditCell(0, 2));
    EXPECT_EQ(view->EditorWidget(), own.get());
    own.reset(); // the program deletes its editor while it is open
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(view->EditorWidget(), nullptr);
    EXPECT_EQ(grid->Columns().GetColumn(0)->InplaceEdit(), nullptr);
    Grab(*view);                       // paints without it
    ASSERT_TRUE(grid->EditCell(0, 2)); // the built-in editor serves again
    EXPECT_EQ(view->EditorWidget(), dynamic_cast<QWidget*>(builtIn));
    grid->EndEdit();
}

TEST(GridKeys, APageIsAtLeastOneRow) {
    auto grid = MakeGrid(10);
    auto view = Shown(*grid, 400, 30); // not one whole row fits below the header
    ASSERT_EQ(view->FittingRows(), 0);
    EXPECT_EQ(view->PageRows(), 1);
    grid->SetSelectedRow(0);
    grid->SetRowVisible(1, false);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    EXPECT_EQ(grid->SelectedRow(), 2);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    EXPECT_EQ(grid->SelectedRow(), 0);
}

TEST(GridMouse, CellHintsShowClippedTextsAndTheCellsOwnHints) {
    auto grid = MakeGrid(3);
    grid->Cell(0, 1).SetAsString("a text far too long for eighty pixels");
    grid->OnCellHint = [](QObject*, int col, int row, QString& value) {
        if (col == 3 && row == 2)
            value = "last check 10:00";
    };
    auto view = Shown(*grid);
    Hover(*view, CellAt(*view, 0, 1));
    EXPECT_EQ(view->HintKind(), hkTextFit);
    EXPECT_EQ(view->HintWindow().text(), "a text far too long for eighty pixels");
    EXPECT_EQ(view->HintWindow().pos(), view->viewport()->mapToGlobal(view->CellRect(0, 1).topLeft()));
    Hover(*view, CellAt(*view, 0, 2)); // host2 fits
    EXPECT_EQ(view->HintKind(), hkNone);
    Hover(*view, CellAt(*view, 3, 2));
    EXPECT_EQ(view->HintKind(), hkCell);
    EXPECT_EQ(view->HintWindow().text(), "last check 10:00");
    const QRect cell = view->CellRect(3, 2);
    EXPECT_EQ(view->HintWindow().pos(),
              view->viewport()->mapToGlobal(QPoint(cell.left() + cell.width(), cell.top() - 20)));
}

TEST(GridMouse, ASecondClickOnTheCurrentCellEditsUnderSecondClickEdit) {
    auto grid = MakeGrid(3);
    Editable(*grid, 0);
    auto view = Shown(*grid);
    Click(*view, CellAt(*view, 0, 1));
    Click(*view, CellAt(*view, 0, 1));
    EXPECT_FALSE(grid->Editing());
    grid->SetOptions(grid->Options() | goSecondClickEdit);
    Click(*view, CellAt(*view, 0, 2));
    EXPECT_FALSE(grid->Editing());
    Click(*view, CellAt(*view, 0, 2));
    EXPECT_TRUE(grid->EditingCell());
    EXPECT_EQ(EditorOf(*view)->text(), "host2");
}

TEST(GridHeaderMouse, TheDragBoxShowsTheHeaderAndTheArrowsPoint) {
    auto grid = MakeGrid(3);
    auto view = Shown(*grid);
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 9));
    Drag(*view, QPoint(30, 9));
    ASSERT_TRUE(view->DraggingColumn());
    const QImage box = view->DragBox().grab().toImage().convertToFormat(QImage::Format_RGB32);
    SaveShot(box, "drag_box");
    EXPECT_EQ(At(box, box.width() - 1, 5), Rgb(0, 0, 0)); // the black line right and below
    EXPECT_EQ(At(box, 5, box.height() - 1), Rgb(0, 0, 0));
    EXPECT_EQ(At(box, box.width() - 10, 9), Expect(view->Rgb(clBtnFace))); // not drawn pressed
    const QPoint mouse = view->viewport()->mapToGlobal(QPoint(30, 9));
    EXPECT_EQ(view->DragBox().pos(), QPoint(mouse.x() - 40, mouse.y() - 18 + 4));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 9));
    const QRegion down = TDragArrow::Shape(2);
    EXPECT_TRUE(down.contains(QPoint(4, 1)));  // the shaft
    EXPECT_TRUE(down.contains(QPoint(4, 7)));  // the head, pointing down
    EXPECT_FALSE(down.contains(QPoint(1, 1))); // beside the shaft
    const QRegion up = TDragArrow::Shape(1);
    EXPECT_TRUE(up.contains(QPoint(4, 1)));
    EXPECT_TRUE(up.contains(QPoint(4, 7)));
    EXPECT_FALSE(up.contains(QPoint(1, 7)));
}
