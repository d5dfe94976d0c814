// The drop source on the scripted backend: the synchronous drag and its result, the checks
// during a drag, the drag picture, the data object's operations and the clipboard.
#include "desktop/DragDropText.h"
#include "desktop/ScriptedDragDrop.h"

#include "dragdrop_helpers.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

using namespace ddtest;

namespace {

// A shown window with one pad that a recording target serves.
class DropSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setGeometry(100, 100, 300, 200);
        pad = new QWidget(&window);
        pad->setGeometry(50, 50, 100, 80);
        window.show();
        QApplication::processEvents();
        ASSERT_EQ(backend->RegisterDragDrop(pad, &recorder), S_OK);
        source.SetText("12|3");
    }
    void TearDown() override { backend->RevokeDragDrop(pad); }
    QPoint OnPad() const { return pad->mapToGlobal(QPoint(10, 10)); }
    // A drag over the pad that lets go there.
    void Script() {
        backend->SetDragScript(
            {TDragStep::Move(OnPad()), TDragStep::Move(OnPad() + QPoint(2, 2)), TDragStep::Release()});
    }

    TScopedScriptedBackend backend;
    QWidget window;
    QWidget* pad = nullptr;
    TRecordingTarget recorder;
    TDropTextSource source;
};

} // namespace

TEST_F(DropSourceTest, ADragOntoACopyTargetIsACopy) {
    std::vector<std::pair<TDragResult, bool>> after;
    source.OnAfterDrop = [&](QObject* Sender, TDragResult Result, bool Optimized) {
        EXPECT_EQ(Sender, &source);
        after.emplace_back(Result, Optimized);
    };
    bool inLoop = false;
    recorder.OnDropData = [&](IDataObject*) {
        inLoop = source.GetInShellDragLoop();
    };
    Script();
    EXPECT_EQ(source.PerformDrag(false), drDropCopy);
    EXPECT_EQ(recorder.Calls, (std::vector<std::string>{"enter", "over", "drop"}));
    EXPECT_EQ(recorder.KeyStates.back(), 0u);
    EXPECT_EQ(recorder.LastPoint, OnPad() + QPoint(2, 2));
    ASSERT_EQ(backend->Drags().size(), 1u);
    EXPECT_EQ(backend->Drags()[0].OkEffects, DROPEFFECT_COPY); // copy only
    EXPECT_EQ(backend->Drags()[0].DragSource, &source);
    EXPECT_EQ(after, (std::vector<std::pair<TDragResult, bool>>{{drDropCopy, false}}));
    EXPECT_FALSE(inLoop);                           // the release ended the loop before the drop
    EXPECT_EQ(source.GetPerformedDropEffect(), 0u); // -1 during the drag, 0 after it
    EXPECT_FALSE(source.Dragging());
}

TEST_F(DropSourceTest, PerformDragDuringADragRaisesAndLeavesTheDragAlone) {
    QString raised;
    backend->OnDragStep = [&](size_t Step) {
        if (Step != 1)
            return;
        EXPECT_TRUE(source.Dragging());
        try {
            source.PerformDrag(false);
        } catch (const EDragDropError& e) {
            raised = e.Message();
        }
    };
    Script();
    EXPECT_EQ(source.PerformDrag(false), drDropCopy);
    EXPECT_EQ(raised, "A drag and drop operation is already in progress");
    EXPECT_EQ(backend->Drags().size(), 1u);
    try {
        source.PerformDrag(true);
        FAIL() << "no exception";
    } catch (const EDragDropError& e) {
        EXPECT_EQ(e.Message(), "Failed to initiate asynchronouse drag and drop operation");
    }
}

TEST_F(DropSourceTest, AnEffectOutsideTheDragTypesIsCancelled) {
    recorder.Answer = DROPEFFECT_MOVE; // a target that ignores what was allowed
    Script();
    EXPECT_EQ(source.PerformDrag(false), drCancel);
    EXPECT_EQ(recorder.Calls.back(), "leave");
    // The same with the source's own veto.
    recorder.Answer = DROPEFFECT_COPY;
    recorder.Calls.clear();
    std::vector<TDragType> asked;
    source.OnDrop = [&](QObject*, TDragType Type, bool& ContinueDrop) {
        asked.push_back(Type);
        ContinueDrop = false;
    };
    Script();
    EXPECT_EQ(source.PerformDrag(false), drCancel);
    EXPECT_EQ(asked, std::vector<TDragType>{dtCopy});
    EXPECT_EQ(recorder.Calls.back(), "leave");
}

TEST_F(DropSourceTest, EscAndAnUnfinishedScriptCancel) {
    backend->SetDragScript({TDragStep::Move(OnPad()), TDragStep::Escape()});
    EXPECT_EQ(source.PerformDrag(false), drCancel);
    EXPECT_EQ(recorder.Calls, (std::vector<std::string>{"enter", "leave"}));
    backend->SetDragScript({TDragStep::Move(OnPad())});
    EXPECT_EQ(source.PerformDrag(false), drCancel);
    backend->SetDragScript({TDragStep::Move(QPoint(5, 5)), TDragStep::Release()});
    EXPECT_EQ(source.PerformDrag(false), drCancel); // let go over nothing that takes drops
}

TEST_F(DropSourceTest, MovesTheTargetMadeAreReportedAsMoves) {
    source.SetDragTypes({dtCopy, dtMove});
    bool optimized = false;
    source.OnAfterDrop = [&](QObject*, TDragResult, bool Optimized) {
        optimized = Optimized;
    };
    // The target copied, then moved the data itself and said so.
    recorder.OnDropData = [](IDataObject* Data) {
        TPerformedDropEffectClipboardFormat performed;
        performed.SetValue(DROPEFFECT_MOVE);
        ASSERT_TRUE(performed.SetDataToMedium(*Data, Format(performed.ClipboardFormat())));
    };
    Script();
    EXPECT_EQ(source.PerformDrag(false), drDropMove);
    EXPECT_TRUE(optimized);
    EXPECT_EQ(source.GetPerformedDropEffect(), DROPEFFECT_MOVE);
    // A logical MOVE counts as a move too.
    recorder.OnDropData = [](IDataObject* Data) {
        TLogicalPerformedDropEffectClipboardFormat logical;
        logical.SetValue(DROPEFFECT_MOVE);
        ASSERT_TRUE(logical.SetDataToMedium(*Data, Format(logical.ClipboardFormat())));
    };
    Script();
    EXPECT_EQ(source.PerformDrag(false), drDropMove);
}

TEST_F(DropSourceTest, FeedbackAndTheChecksOfTheDrag) {
    std::vector<uint32_t> effects;
    source.OnFeedback = [&](QObject*, uint32_t Effect, bool& UseDefaultCursors) {
        effects.push_back(Effect);
        UseDefaultCursors = Effect != DROPEFFECT_LINK;
    };
    EXPECT_EQ(source.GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source.GiveFeedback(DROPEFFECT_LINK), S_OK);
    EXPECT_EQ(effects, (std::vector<uint32_t>{1, 4}));
    EXPECT_EQ(source.QueryContinueDrag(true, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source.QueryContinueDrag(false, MK_LBUTTON), S_OK);
    EXPECT_EQ(source.QueryContinueDrag(false, MK_RBUTTON | MK_SHIFT), S_OK);
    EXPECT_EQ(source.QueryContinueDrag(false, 0), DRAGDROP_S_CANCEL); // the last feedback was LINK
    source.GiveFeedback(DROPEFFECT_COPY | DROPEFFECT_SCROLL);
    EXPECT_EQ(source.QueryContinueDrag(false, MK_SHIFT), DRAGDROP_S_DROP);
    // A handler that throws is a result code, not an exception.
    source.OnFeedback = [](QObject*, uint32_t, bool&) {
        throw std::runtime_error("handler");
    };
    EXPECT_EQ(source.GiveFeedback(DROPEFFECT_COPY), E_UNEXPECTED);
}

TEST_F(DropSourceTest, ImageIndexAndTheDragPicture) {
    TDragImageList images;
    QPixmap red(24, 20);
    red.fill(Qt::red);
    QPixmap clear(8, 8);
    clear.fill(Qt::transparent);
    images.Add(red);
    images.Add(clear);
    images.Add(red);
    source.SetImageIndex(1);
    EXPECT_EQ(source.ImageIndex(), -1); // no pictures yet
    source.SetImages(&images);
    source.SetImageIndex(1);
    EXPECT_EQ(source.ImageIndex(), 1);
    source.SetImageIndex(5);
    EXPECT_EQ(source.ImageIndex(), 1); // past the three pictures: kept
    source.SetImageIndex(-7);
    EXPECT_EQ(source.ImageIndex(), -1);
    source.SetImageIndex(2);
    TDragImageList two;
    two.Add(red);
    two.Add(red);
    source.SetImages(&two);
    EXPECT_EQ(source.ImageIndex(), -1); // the new list does not hold 2

    source.SetImages(&images);
    source.SetImageIndex(1);
    images.SetBkColor(Qt::blue);
    source.SetShowImage(true);
    Script();
    source.PerformDrag(false);
    const TDragImage& image = backend->Drags().back().Image;
    EXPECT_EQ(image.Pixmap.size(), QSize(8, 8));
    EXPECT_EQ(image.HotSpot, QPoint(16, 16));
    EXPECT_EQ(image.Pixmap.toImage().pixelColor(3, 3), QColor(Qt::blue)); // the list's colour behind it
    source.OnGetDragImage = [&](QObject*, TDragImage& Image, bool& Handled) {
        Image.Pixmap = red;
        Image.HotSpot = QPoint(1, 2);
        Handled = true;
    };
    Script();
    source.PerformDrag(false);
    EXPECT_EQ(backend->Drags().back().Image.HotSpot, QPoint(1, 2));
    // A destroyed list is no list.
    auto gone = std::make_unique<TDragImageList>();
    gone->Add(red);
    source.SetImages(gone.get());
    gone.reset();
    EXPECT_EQ(source.Images(), nullptr);
}

TEST_F(DropSourceTest, DataObjectOperations) {
    TStgMedium medium;
    TFormatEtc canonical;
    EXPECT_EQ(source.GetDataHere(Format(CF_TEXT), medium), E_NOTIMPL);
    EXPECT_EQ(source.GetCanonicalFormatEtc(Format(CF_TEXT), canonical), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(source.DAdvise(Format(CF_TEXT), 0, nullptr), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(source.DUnadvise(1), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(source.EnumDAdvise(), OLE_E_ADVISENOTSUPPORTED);
    std::unique_ptr<IEnumFormatEtc> formats;
    EXPECT_EQ(source.EnumFormatEtc(3, formats), E_NOTIMPL);
    // While a drag runs the feedback holds data: its read formats come first, its write
    // formats are the ones a target may set.
    source.SetPerformedDropEffect(uint32_t(-1));
    const TClipFormat rtf = Named("Rich Text Format");
    EXPECT_EQ(Enumerated(source, DATADIR_GET),
              (std::vector<TClipFormat>{Named("Logical Performed DropEffect"), Named("InShellDragLoop"),
                                        Named("Preferred DropEffect"), CF_OEMTEXT, CF_LOCALE, CF_TEXT, rtf,
                                        CF_UNICODETEXT}));
    EXPECT_EQ(Enumerated(source, DATADIR_SET),
              (std::vector<TClipFormat>{Named("TargetCLSID"), Named("Paste Succeeded"),
                                        Named("Performed DropEffect")}));
    // The enumerator's own rules.
    ASSERT_EQ(source.EnumFormatEtc(DATADIR_SET, formats), S_OK);
    TFormatEtc got[4];
    uint32_t fetched = 0;
    EXPECT_EQ(formats->Next(2, got, &fetched), S_OK);
    std::unique_ptr<IEnumFormatEtc> clone;
    ASSERT_EQ(formats->Clone(clone), S_OK);
    EXPECT_EQ(formats->Next(4, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(clone->Next(1, got, &fetched), S_OK);
    EXPECT_EQ(got[0].cfFormat, Named("Performed DropEffect"));
    EXPECT_EQ(clone->Skip(1), S_FALSE);
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Skip(3), S_OK);
    // A handler can serve a request itself.
    source.OnGetData = [](QObject*, const TFormatEtc& Request, TStgMedium& Out, bool& Handled) {
        if (Request.cfFormat != CF_HDROP)
            return;
        Out.tymed = TYMED_HGLOBAL;
        Out.hGlobal = std::make_shared<TGlobalMemory>(TGlobalMemory{"handled"});
        Handled = true;
    };
    EXPECT_EQ(Bytes(source, CF_HDROP), "handled");
}

TEST_F(DropSourceTest, WhatATargetWritesBack) {
    std::vector<std::pair<TDragResult, bool>> pastes;
    source.OnPaste = [&](QObject*, TDragResult Action, bool DeleteOnPaste) {
        pastes.emplace_back(Action, DeleteOnPaste);
    };
    TPasteSucceededClipboardFormat paste;
    paste.SetValue(DROPEFFECT_MOVE);
    ASSERT_TRUE(paste.SetDataToMedium(source, Format(paste.ClipboardFormat())));
    source.SetPerformedDropEffect(DROPEFFECT_MOVE);
    ASSERT_TRUE(paste.SetDataToMedium(source, Format(paste.ClipboardFormat())));
    paste.SetValue(DROPEFFECT_COPY);
    ASSERT_TRUE(paste.SetDataToMedium(source, Format(paste.ClipboardFormat(), TYMED_ISTREAM)));
    EXPECT_EQ(pastes, (std::vector<std::pair<TDragResult, bool>>{
                          {drDropMove, false}, {drDropMove, true}, {drDropCopy, false}}));
    // A format nobody knows is kept and offered again.
    const TClipFormat unknown = Named("Target Private");
    TStgMedium medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = std::make_shared<TGlobalMemory>(TGlobalMemory{"private"});
    ASSERT_EQ(source.SetData(Format(unknown), medium, false), S_OK);
    EXPECT_EQ(medium.tymed, TYMED_HGLOBAL); // not handed over: the caller keeps its medium
    EXPECT_EQ(Bytes(source, unknown), "private");
    const std::vector<TClipFormat> offered = Enumerated(source);
    EXPECT_NE(std::find(offered.begin(), offered.end(), unknown), offered.end());
    TStgMedium bad;
    bad.tymed = TYMED_ISTORAGE;
    EXPECT_EQ(source.SetData(Format(Named("Storage Only"), TYMED_ISTORAGE), bad, true), E_NOTIMPL);
}

TEST_F(DropSourceTest, ClipboardCopyCutFlushAndEmpty) {
    ASSERT_TRUE(source.CopyToClipboard());
    EXPECT_EQ(backend->IsCurrentClipboard(&source), S_OK);
    std::shared_ptr<IDataObject> clip = backend->GetClipboard();
    EXPECT_EQ(Bytes(*clip, CF_TEXT), QByteArray("12|3\0", 5));
    // A change of the text freezes what the clipboard holds.
    source.SetText("7|0");
    EXPECT_EQ(backend->IsCurrentClipboard(&source), S_FALSE);
    EXPECT_EQ(Bytes(*backend->GetClipboard(), CF_TEXT), QByteArray("12|3\0", 5));
    EXPECT_FALSE(source.EmptyClipboard()); // no longer ours
    ASSERT_TRUE(source.CutToClipboard());
    EXPECT_EQ(Bytes(*backend->GetClipboard(), Named("Preferred DropEffect")), Le32(DROPEFFECT_MOVE));
    ASSERT_TRUE(source.CopyToClipboardAsCopy());
    EXPECT_EQ(Bytes(*backend->GetClipboard(), Named("Preferred DropEffect")), Le32(DROPEFFECT_COPY));
    ASSERT_TRUE(source.EmptyClipboard());
    EXPECT_EQ(backend->GetClipboard(), nullptr);
    // A source that goes away leaves its data on the clipboard.
    {
        TDropTextSource temporary;
        temporary.SetText("gone|1");
        ASSERT_TRUE(temporary.CopyToClipboard());
    }
    ASSERT_NE(backend->GetClipboard(), nullptr);
    EXPECT_EQ(Bytes(*backend->GetClipboard(), CF_TEXT), QByteArray("gone|1\0", 7));
}
