// The host drag as the host page wires it, on the scripted backend: a press on the host grid's
// view that DetectDragStart turns into a drag of "Kod_|row" (copy only) from a text source, and
// a text target on the group tree whose OnDrop finds the node under the drop point.
#include "core/HostGrid.h"
#include "desktop/DragDropText.h"
#include "desktop/ScriptedDragDrop.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"

#include <QApplication>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The host page's pieces: the grid of five hosts of group 2, its view, the tree with groups 2
// and 5, and the two components.
class HostDragTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateHostGridColumns(grid);
        grid.AddRow(5);
        for (int row = 0; row < 5; ++row) {
            grid.Cell("Kod_", row).SetAsString(QString::number(10 + row));
            grid.Cell("Host", row).SetAsString(QStringLiteral("host-%1").arg(row));
            grid.Cell("N_group", row).SetAsString("2");
        }
        form.setGeometry(100, 100, 800, 400);
        view = new TGxGridView(&grid, &form);
        view->setGeometry(0, 0, 500, 300);
        tree = new QTreeWidget(&form);
        tree->setGeometry(520, 0, 250, 300);
        tree->setHeaderHidden(true);
        for (const char* group : {"2", "5"}) {
            auto* node = new QTreeWidgetItem(tree, QStringList(QStringLiteral("Group %1").arg(group)));
            node->setData(0, Qt::UserRole, QString::fromLatin1(group));
        }
        form.show();
        QApplication::processEvents();

        target.SetTarget(tree);
        target.OnDrop = [this](QObject*, TShiftState, QPoint APoint, uint32_t&) {
            QTreeWidgetItem* node = tree->itemAt(APoint);
            droppedOn = node ? node->data(0, Qt::UserRole).toString() : QString();
            droppedText = target.Text();
        };
    }

    // DataGrid1MouseDown: a drag from the press point carries the row's Kod_, "|" and the row.
    std::optional<TDragResult> MouseDown(int Row) {
        const QPoint press = view->CellRect(1, Row).center();
        if (!DetectDragStart(view->viewport(), press))
            return std::nullopt;
        source.SetText(grid.Cell("Kod_", Row).GetAsString() + "|" + QString::number(Row));
        return source.PerformDrag(false);
    }
    QPoint Node(int Index) const {
        return tree->viewport()->mapToGlobal(tree->visualItemRect(tree->topLevelItem(Index)).center());
    }
    void PressThenMove(int Row) {
        const QPoint press = view->viewport()->mapToGlobal(view->CellRect(1, Row).center());
        backend->SetTime(0);
        backend->SetInput({{TScriptedInput::siMove, 250, press + QPoint(30, 0)}});
    }

    TScopedScriptedBackend backend;
    TDataGrid grid;
    QWidget form;
    TGxGridView* view = nullptr;
    QTreeWidget* tree = nullptr;
    TDropTextSource source{&form};
    TDropTextTarget target{&form};
    std::optional<QString> droppedOn;
    QString droppedText;
};

} // namespace

TEST_F(HostDragTest, AHostRowDraggedOntoGroup5) {
    PressThenMove(3);
    backend->SetDragScript(
        {TDragStep::Move(Node(1)), TDragStep::Move(Node(1) + QPoint(1, 1)), TDragStep::Release()});
    EXPECT_EQ(MouseDown(3), drDropCopy);
    EXPECT_EQ(droppedText, "13|3");
    EXPECT_EQ(droppedOn, "5");
    ASSERT_EQ(backend->Drags().size(), 1u);
    EXPECT_EQ(backend->Drags()[0].OkEffects, DROPEFFECT_COPY); // copy only
    EXPECT_EQ(backend->Drags()[0].DragSource, &source);
}

TEST_F(HostDragTest, ASortedGridDragsTheRowShownUnderThePointer) {
    grid.SortColumn(grid.Columns().ColumnByName("Host"), false);
    ASSERT_EQ(grid.Cell("Kod_", 0).GetAsString(), "14");
    PressThenMove(0);
    backend->SetDragScript({TDragStep::Move(Node(1)), TDragStep::Release()});
    EXPECT_EQ(MouseDown(0), drDropCopy);
    EXPECT_EQ(droppedText, "14|0");
    EXPECT_EQ(droppedOn, "5");
}

TEST_F(HostDragTest, ADropOffEveryNodeFindsNoNode) {
    PressThenMove(1);
    const QPoint belowNodes = tree->viewport()->mapToGlobal(QPoint(40, tree->viewport()->height() - 30));
    backend->SetDragScript({TDragStep::Move(belowNodes), TDragStep::Release()});
    EXPECT_EQ(MouseDown(1), drDropCopy);
    EXPECT_EQ(droppedText, "11|1");
    EXPECT_EQ(droppedOn, QString()); // the handler changes nothing
}

TEST_F(HostDragTest, AShortPressStartsNoDrag) {
    backend->SetInput({{TScriptedInput::siButtonUp, 120, QPoint()}});
    EXPECT_EQ(MouseDown(2), std::nullopt);
    EXPECT_TRUE(backend->Drags().empty());
    // Let go over the grid itself: nothing takes the drop.
    PressThenMove(2);
    backend->SetDragScript({TDragStep::Move(view->mapToGlobal(QPoint(50, 50))), TDragStep::Release()});
    EXPECT_EQ(MouseDown(2), drCancel);
    EXPECT_FALSE(droppedOn.has_value());
}

TEST_F(HostDragTest, AnotherProgramsTextReachesTheHandler) {
    TStaticDataObject foreign;
    const QString text = QStringLiteral("abc");
    foreign.Put(CF_UNICODETEXT, QByteArray(reinterpret_cast<const char*>(text.utf16()), 8));
    uint32_t effect = 0;
    backend->RunForeignDrag(&foreign, DROPEFFECT_COPY, {TDragStep::Move(Node(0)), TDragStep::Release()},
                            &effect);
    EXPECT_EQ(droppedText, "abc"); // the host page's parsing refuses it
    EXPECT_EQ(droppedOn, "2");
}
