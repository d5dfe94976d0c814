// Screenshots of the grid view in its main looks, saved for a look by eye.
#include "widget_helpers.h"

#include <gtest/gtest.h>

using namespace widgettest;

TEST(GridShots, SavesTheMainLooks) {
    auto grid = MakeGrid(30);
    grid->SetOptions(goHeader | goGrid | goIndicator);
    grid->Cell(3, 2).SetCellColor(255);
    grid->Cell(3, 3).SetCellColor(65535);
    grid->Cell(3, 4).SetCellColor(65280);
    grid->Cell(1, 1).SetAsBoolean(true);
    grid->Columns().GetColumn(2)->SetSorted(true);
    grid->SetSelectedRow(5);
    auto view = MakeView(*grid, 420, 260);
    SaveShot(Grab(*view), "themed");
    {
        ClassicDrawing classic;
        SaveShot(Grab(*view), "classic");
    }
    grid->SetHeaderStyle(hsOffice2010);
    SaveShot(Grab(*view), "office2010");
    grid->ClearRows();
    grid->SetCaption("No hosts");
    SaveShot(Grab(*view), "empty");
}

TEST(GridShots, SavesTheEditorsInPlace) {
    auto grid = MakeGrid(12);
    grid->SetOptions(goHeader | goGrid | goIndicator | goSelectFullRow);
    for (int c : {0, 2})
        grid->Columns().GetColumn(c)->SetOptions(grid->Columns().GetColumn(c)->Options() | coEditing);
    static_cast<TGxNumberColumn*>(grid->Columns().GetColumn(2))->SetPrecision(2);
    grid->Columns().GetColumn(2)->SetWidth(90);
    auto view = MakeView(*grid, 420, 220);
    view->activateWindow();
    view->setFocus();
    grid->SetSelectedRow(2);
    ASSERT_TRUE(grid->EditCell(0, 2, "typed text"));
    SaveShot(Grab(*view), "edit_text");
    ASSERT_TRUE(grid->EditCell(2, 4));
    SaveShot(Grab(*view), "edit_spin");
    {
        ClassicDrawing classic;
        view->EditorWidget()->update();
        SaveShot(Grab(*view), "edit_spin_classic");
    }
    grid->EndEdit();
}
