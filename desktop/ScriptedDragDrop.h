// A backend that drives drag and drop from a script instead of the window system: drags run
// as a list of pointer steps through the registered targets, exactly as the window system calls
// a source and its targets; press watches read timed input; the clock is set by hand; the
// clipboard is held in memory. It needs no display.
#pragma once

#include "desktop/DragDropBackend.h"

#include <QElapsedTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

// One step of a scripted drag.
struct TDragStep {
    enum TKind { dsMove, dsRelease, dsEscape };
    TKind Kind = dsMove;
    QPoint ScreenPoint;
    uint32_t KeyState = MK_LBUTTON;
    // Milliseconds the clock moves on before the step.
    uint32_t AdvanceMs = 0;

    static TDragStep Move(QPoint Point, uint32_t KeyState = MK_LBUTTON, uint32_t AdvanceMs = 0) {
        return {dsMove, Point, KeyState, AdvanceMs};
    }
    // The button goes up at the last point, with the keys still held.
    static TDragStep Release(uint32_t KeyState = 0) { return {dsRelease, QPoint(), KeyState, 0}; }
    static TDragStep Escape() { return {dsEscape, QPoint(), MK_LBUTTON, 0}; }
};

// One timed input event of a press watch.
struct TScriptedInput {
    enum TKind { siMove, siButtonDown, siButtonUp, siKeyDown, siCancelMode, siQuit, siCaptureLost };
    TKind Kind = siMove;
    uint32_t Time = 0;
    QPoint ScreenPoint;
    int Key = 0;
    int ExitCode = 0;
};

// What one scripted drag did, for tests.
struct TDragRecord {
    uint32_t OkEffects = 0;
    TDragImage Image;
    QObject* DragSource = nullptr;
    HRESULT Result = S_OK;
    uint32_t Effect = 0;
    // The targets' answers to every enter and move, in order.
    std::vector<uint32_t> Effects;
};

class TScriptedDragDropBackend : public IDragDropBackend {
public:
    TScriptedDragDropBackend();

    // ---- clock and pointer ----
    // With the real clock the ticks run by themselves; otherwise only SetTime and Advance move
    // them.
    void SetRealClock(bool Value) { FRealClock = Value; }
    void SetTime(uint32_t Ms) { FNow = Ms; }
    void Advance(uint32_t Ms) { FNow += Ms; }
    void SetCursorPos(QPoint Point) { FCursor = Point; }

    // ---- drags ----
    // The steps the next DoDragDrop runs (none: it is cancelled at once).
    void SetDragScript(std::vector<TDragStep> Steps) { FScript = std::move(Steps); }
    // Called before each step with its index, inside the drag.
    std::function<void(size_t Step)> OnDragStep;
    // A drag from another program: a source that drops when the button goes up over a target
    // that took the data and cancels on Esc.
    HRESULT RunForeignDrag(IDataObject* DataObject, uint32_t OkEffects, std::vector<TDragStep> Steps,
                           uint32_t* Effect);
    const std::vector<TDragRecord>& Drags() const { return FDrags; }
    IDropTarget* TargetOf(QWidget* Window) const;

    // ---- press watches ----
    void SetButtonsDown(bool Value) { FButtonsDown = Value; }
    void SetDragDistance(QSize Value) { FDragDistance = Value; }
    // Events after the press, in time order.
    void SetInput(std::vector<TScriptedInput> Events);
    bool Captured() const { return FCaptured; }
    const std::vector<int>& RepostedQuits() const { return FReposted; }
    // Events the watch left for the window (button messages and all after the decision).
    size_t PendingInput() const { return FInput.size(); }

    // IDragDropBackend
    HRESULT RegisterDragDrop(QWidget* Window, IDropTarget* Target) override;
    HRESULT RevokeDragDrop(QWidget* Window) override;
    HRESULT DoDragDrop(IDataObject* DataObject, IDropSource* Source, uint32_t OkEffects, uint32_t* Effect,
                       const TDragImage& Image, QObject* DragSource) override;
    HRESULT SetClipboard(IDataObject* DataObject) override;
    std::shared_ptr<IDataObject> GetClipboard() override;
    HRESULT FlushClipboard() override;
    HRESULT IsCurrentClipboard(IDataObject* DataObject) override;
    bool DragButtonsDown() override { return FButtonsDown; }
    QSize DragDistance() override { return FDragDistance; }
    std::unique_ptr<IDragStartInput> CaptureForDragStart(QWidget* Window) override;
    uint32_t TickCount() override;
    QPoint CursorPos() override { return FCursor; }
    QWidget* WidgetAt(QPoint ScreenPoint) override { return FindWidgetAt(ScreenPoint); }
    int ScrollBarExtent() override;

private:
    class TInput;
    HRESULT RunDrag(IDataObject* DataObject, IDropSource* Source, uint32_t OkEffects,
                    const std::vector<TDragStep>& Steps, uint32_t* Effect, TDragRecord& Record);
    // The registered window under a point (the widget there or a parent), or none.
    QWidget* RegisteredAt(QPoint ScreenPoint) const;

    bool FRealClock = false;
    QElapsedTimer FClock;
    uint32_t FNow = 0;
    QPoint FCursor;
    std::vector<TDragStep> FScript;
    std::vector<TDragRecord> FDrags;
    std::map<QWidget*, IDropTarget*> FTargets;
    IDataObject* FClipboardObject = nullptr;
    std::shared_ptr<IDataObject> FClipboardCopy;
    bool FButtonsDown = true;
    QSize FDragDistance{4, 4};
    std::deque<TScriptedInput> FInput;
    bool FCaptured = false;
    bool FCaptureLost = false;
    std::vector<int> FReposted;
};

// Puts a scripted backend in place for a scope and restores the one before.
class TScopedScriptedBackend {
public:
    TScopedScriptedBackend();
    ~TScopedScriptedBackend();
    TScopedScriptedBackend(const TScopedScriptedBackend&) = delete;
    TScopedScriptedBackend& operator=(const TScopedScriptedBackend&) = delete;
    TScriptedDragDropBackend& operator*() const { return *FBackend; }
    TScriptedDragDropBackend* operator->() const { return FBackend; }

private:
    TScriptedDragDropBackend* FBackend;
    std::unique_ptr<IDragDropBackend> FPrevious;
};
