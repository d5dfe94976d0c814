// The Qt backend headless: formats as MIME types, MIME data over a text source, a registered
// tree that receives Qt's drag events (from our own source and from others), the press watch
// on posted input, and QClipboard.
#include "desktop/DragDropText.h"
#include "desktop/QtDragDropBackend.h"

#include "dragdrop_helpers.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace ddtest;

namespace {

const QByteArray Header = "{\\rtf1\\ansi {\\*\\generator Zorvanite Tarnequill Pro}";

// The Qt backend with the mouse buttons held, as during a press.
class TPressedQtBackend : public TQtDragDropBackend {
public:
    bool DragButtonsDown() override { return true; }
};

// Puts a fresh Qt backend in place for a test.
class QtBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto backend = std::make_unique<TPressedQtBackend>();
        Backend = backend.get();
        Previous = SetDragDropBackend(std::move(backend));
        window.setGeometry(100, 100, 400, 300);
        tree = new QTreeWidget(&window);
        tree->setGeometry(10, 10, 200, 200);
        tree->setHeaderHidden(true);
        new QTreeWidgetItem(tree, QStringList("Group 2"));
        new QTreeWidgetItem(tree, QStringList("Group 5"));
        window.show();
        QApplication::processEvents();
        SetThreadLocale(LocaleEnglish);
    }
    void TearDown() override {
        SetThreadLocale(0);
        SetDragDropBackend(std::move(Previous));
    }

    // One drag over the tree's viewport: enter, move, then a drop (or a leave).
    bool DragOntoTree(const QMimeData* Mime, QPoint At, Qt::DropActions Actions, bool Drop = true,
                      Qt::DropAction* Accepted = nullptr) {
        QWidget* viewport = tree->viewport();
        QDragEnterEvent enter(At, Actions, Mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(At, Actions, Mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        if (!Drop) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(viewport, &leave);
            return false;
        }
        QDropEvent drop(QPointF(At), Actions, Mime, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        if (Accepted)
            *Accepted = drop.dropAction();
        return drop.isAccepted();
    }

    TPressedQtBackend* Backend = nullptr;
    std::unique_ptr<IDragDropBackend> Previous;
    QWidget window;
    QTreeWidget* tree = nullptr;
};

// Counts the releases that reach it.
class TReleaseCounter : public QWidget {
public:
    int Releases = 0;

protected:
    void mouseReleaseEvent(QMouseEvent*) override { ++Releases; }
};

} // namespace

TEST(QtDragDropMime, FormatsAndMimeTypes) {
    const TClipFormat rtf = Named("Rich Text Format");
    const TClipFormat csv = Named("CSV");
    EXPECT_EQ(MimeTypeOfFormat(CF_UNICODETEXT), "text/plain");
    EXPECT_EQ(MimeTypeOfFormat(rtf), "text/rtf");
    EXPECT_EQ(MimeTypeOfFormat(csv), "text/csv");
    EXPECT_EQ(MimeTypeOfFormat(CF_TEXT), "application/x-zt-clipboard-format;name=\"CF_TEXT\"");
    EXPECT_EQ(MimeTypeOfFormat(Named("Performed DropEffect")),
              "application/x-zt-clipboard-format;name=\"Performed DropEffect\"");
    EXPECT_EQ(MimeTypeOfFormat(0x9999), "");
    for (TClipFormat id :
         {CF_TEXT, CF_OEMTEXT, CF_LOCALE, CF_UNICODETEXT, rtf, csv, Named("Performed DropEffect")})
        EXPECT_EQ(FormatOfMimeType(MimeTypeOfFormat(id)), id) << id;
    EXPECT_EQ(FormatOfMimeType("text/plain;charset=utf-8"), CF_UNICODETEXT);
    EXPECT_EQ(FormatOfMimeType("application/rtf"), rtf);
    const TClipFormat html = FormatOfMimeType("text/html");
    EXPECT_GE(html, FirstRegisteredFormat);
    EXPECT_EQ(MimeTypeOfFormat(html), "text/html");
    // The bytes each side carries.
    const QString text = QString::fromUtf8("Ж|1");
    const QByteArray units = QByteArray(reinterpret_cast<const char*>(text.utf16()), 6) + QByteArray(2, '\0');
    EXPECT_EQ(MediumToMimeBytes(CF_UNICODETEXT, units), text.toUtf8());
    EXPECT_EQ(MimeToMediumBytes(CF_UNICODETEXT, text.toUtf8()), units);
    EXPECT_EQ(MediumToMimeBytes(rtf, QByteArray("{\\rtf1 x}\0", 10)), "{\\rtf1 x}");
    EXPECT_EQ(MimeToMediumBytes(csv, "a,b\r\n"), QByteArray("a,b\r\n\0", 6));
    EXPECT_EQ(MimeToMediumBytes(CF_TEXT, "raw"), "raw");
}

TEST(QtDragDropMime, KeysAndActions) {
    EXPECT_EQ(KeyStateOf(Qt::LeftButton | Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier),
              MK_LBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL);
    EXPECT_EQ(KeyStateOf(Qt::RightButton, Qt::AltModifier), MK_RBUTTON | MK_ALT);
    EXPECT_EQ(EffectsOfActions(Qt::CopyAction | Qt::LinkAction), DROPEFFECT_COPY | DROPEFFECT_LINK);
    EXPECT_EQ(ActionOfEffect(DROPEFFECT_MOVE | DROPEFFECT_LINK), Qt::MoveAction);
    EXPECT_EQ(ActionOfEffect(DROPEFFECT_SCROLL), Qt::IgnoreAction);
}

TEST_F(QtBackendTest, MimeDataOverATextSource) {
    TDropTextSource source;
    source.SetText("12|3");
    TDataObjectMimeData mime(&source, &source);
    EXPECT_EQ(mime.formats(),
              (QStringList{"application/x-zt-clipboard-format;name=\"CF_OEMTEXT\"",
                           "application/x-zt-clipboard-format;name=\"CF_LOCALE\"",
                           "application/x-zt-clipboard-format;name=\"CF_TEXT\"", "text/rtf", "text/plain"}));
    EXPECT_EQ(mime.text(), "12|3");
    EXPECT_EQ(mime.data("text/rtf"), Header + "12|3}");
    EXPECT_EQ(mime.data("application/x-zt-clipboard-format;name=\"CF_TEXT\""), QByteArray("12|3\0", 5));
    EXPECT_TRUE(mime.hasFormat("text/plain"));
    EXPECT_FALSE(mime.hasFormat("text/csv"));
    mime.Detach();
    EXPECT_TRUE(mime.formats().isEmpty());
    EXPECT_TRUE(mime.text().isEmpty());
}

TEST_F(QtBackendTest, AForeignDropOnTheTree) {
    TDropTextTarget target;
    target.SetTarget(tree);
    EXPECT_TRUE(tree->viewport()->acceptDrops());
    QPoint at(-1, -1);
    QString dropped;
    target.OnDrop = [&](QObject*, TShiftState, QPoint APoint, uint32_t&) {
        at = APoint;
        dropped = target.Text();
    };
    QMimeData mime;
    mime.setText("12|3");
    const QPoint onGroup5 = tree->visualItemRect(tree->topLevelItem(1)).center();
    Qt::DropAction action = Qt::IgnoreAction;
    EXPECT_TRUE(DragOntoTree(&mime, onGroup5, Qt::CopyAction | Qt::MoveAction, true, &action));
    EXPECT_EQ(action, Qt::CopyAction);
    EXPECT_EQ(dropped, "12|3");
    EXPECT_EQ(at, onGroup5);
    EXPECT_EQ(tree->itemAt(at), tree->topLevelItem(1));
    // RTF alone brings no text: the drop is refused.
    QMimeData rtf;
    rtf.setData("text/rtf", "{\\rtf1 12|3}");
    dropped.clear();
    EXPECT_FALSE(DragOntoTree(&rtf, onGroup5, Qt::CopyAction));
    EXPECT_TRUE(dropped.isEmpty());
    // The tree's own drag handling stays out of it, and unregistering gives it back.
    target.Unregister();
    EXPECT_FALSE(tree->viewport()->acceptDrops());
}

TEST_F(QtBackendTest, ADropFromOurOwnSourceReachesItsDataObject) {
    TDropTextSource source;
    source.SetText("12|3");
    source.SetPerformedDropEffect(uint32_t(-1)); // as PerformDrag starts
    std::vector<TDragType> sourceDrops;
    source.OnDrop = [&](QObject*, TDragType Type, bool&) {
        sourceDrops.push_back(Type);
    };
    TDropTextTarget target;
    target.SetTarget(tree);
    QString dropped;
    target.OnDrop = [&](QObject*, TShiftState, QPoint, uint32_t&) {
        dropped = target.Text();
    };
    TDataObjectMimeData mime(&source, &source);
    EXPECT_TRUE(DragOntoTree(&mime, QPoint(20, 10), Qt::CopyAction));
    EXPECT_EQ(dropped, "12|3");
    EXPECT_EQ(sourceDrops, std::vector<TDragType>{dtCopy});
    EXPECT_EQ(source.GetPerformedDropEffect(), DROPEFFECT_COPY); // the feedback was written back
    EXPECT_FALSE(mime.DropCancelled());
    // When the source does not allow what the target chose, the drop is called off.
    source.SetDragTypes({dtLink});
    dropped.clear();
    TDataObjectMimeData vetoed(&source, &source);
    EXPECT_FALSE(DragOntoTree(&vetoed, QPoint(20, 10), Qt::CopyAction));
    EXPECT_TRUE(vetoed.DropCancelled());
    EXPECT_TRUE(dropped.isEmpty());
    EXPECT_TRUE(target.Text().isEmpty()); // the leave cleared it
}

TEST_F(QtBackendTest, LeavingAndReparenting) {
    TDropTextTarget target;
    target.SetTarget(tree);
    int leaves = 0;
    target.OnLeave = [&](QObject*) {
        ++leaves;
    };
    QMimeData mime;
    mime.setText("1|0");
    DragOntoTree(&mime, QPoint(20, 10), Qt::CopyAction, false);
    EXPECT_EQ(leaves, 1);
    QWidget other;
    other.setGeometry(600, 100, 300, 300);
    tree->setParent(&other);
    other.show();
    tree->show();
    QApplication::processEvents();
    QString dropped;
    target.OnDrop = [&](QObject*, TShiftState, QPoint, uint32_t&) {
        dropped = target.Text();
    };
    EXPECT_TRUE(DragOntoTree(&mime, QPoint(20, 10), Qt::CopyAction));
    EXPECT_EQ(dropped, "1|0");
    tree->setParent(&window);
}

TEST_F(QtBackendTest, ThePressWatchOnPostedInput) {
    TReleaseCounter widget;
    widget.setGeometry(500, 400, 100, 100);
    widget.show();
    QApplication::processEvents();
    const QPoint press(50, 50);
    const QPoint global = widget.mapToGlobal(press);
    auto post = [&](int Ms, QEvent::Type Type, QPoint Global, Qt::MouseButton Button = Qt::NoButton) {
        QTimer::singleShot(Ms, &widget, [&widget, Type, Global, Button] {
            QCoreApplication::postEvent(
                &widget,
                new QMouseEvent(Type, widget.mapFromGlobal(Global), Global, Button,
                                Type == QEvent::MouseMove ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier));
        });
    };
    bool grabbed = false;
    QTimer::singleShot(100, &widget, [&] { grabbed = QWidget::mouseGrabber() == &widget; });
    post(250, QEvent::MouseMove, global + QPoint(40, 0));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(DetectDragStart(&widget, press));
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_TRUE(grabbed);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    // A release ends the watch and still reaches the widget.
    post(50, QEvent::MouseButtonRelease, global, Qt::LeftButton);
    EXPECT_FALSE(DetectDragStart(&widget, press));
    QApplication::processEvents();
    EXPECT_EQ(widget.Releases, 1);
    // Esc ends it too.
    QTimer::singleShot(50, &widget, [&widget] {
        QCoreApplication::postEvent(&widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    EXPECT_FALSE(DetectDragStart(&widget, press));
    // Holding still drags after 500 ms.
    clock.restart();
    EXPECT_TRUE(DetectDragStart(&widget, press));
    EXPECT_GE(clock.elapsed(), 450);
}

TEST_F(QtBackendTest, TheClipboardThroughQt) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    {
        TDropTextSource source;
        source.SetText("12|3");
        ASSERT_TRUE(source.CopyToClipboard());
        EXPECT_EQ(Backend->IsCurrentClipboard(&source), S_OK);
        EXPECT_EQ(clipboard->text(), "12|3");
        EXPECT_EQ(clipboard->mimeData()->data("text/rtf"), Header + "12|3}");
    }
    // The source is gone; what it copied stays.
    EXPECT_EQ(clipboard->text(), "12|3");
    // Text another program put there can be pasted.
    clipboard->setText("9|1");
    TDropTextTarget target;
    EXPECT_TRUE(target.CanPasteFromClipboard());
    uint32_t seen = 99;
    target.OnDrop = [&](QObject*, TShiftState, QPoint, uint32_t& Effect) {
        seen = Effect;
    };
    EXPECT_EQ(target.PasteFromClipboard(), 0u); // it named no preferred effect
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(target.Text(), "9|1");
    clipboard->clear();
}
