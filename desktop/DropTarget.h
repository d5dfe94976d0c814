// The component that makes controls accept drops: registration on one control or several, the
// drop effect from the keys and the allowed types, auto-scrolling while the pointer rests near
// a control's edge, the feedback written back to the source, and the multi-format target whose
// data formats receive the data.
#pragma once

#include "desktop/DragDrop.h"
#include "desktop/DragDropBackend.h"
#include "desktop/DragDropFormats.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

enum TScrollDirection : uint8_t { sdUp, sdDown, sdLeft, sdRight };
// A set of scroll directions: bit i for direction i.
using TScrollDirections = uint8_t;
constexpr TScrollDirections ScrollBit(TScrollDirection Direction) {
    return TScrollDirections(1u << Direction);
}

using TDropTargetEvent =
    std::function<void(QObject* Sender, TShiftState ShiftState, QPoint APoint, uint32_t& Effect)>;
using TDropTargetScrollEvent =
    std::function<void(QObject* Sender, QPoint Point, TScrollDirections& Scroll, int& Interval)>;
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TAcceptFormatEvent = std::function<void(QObject* Sender, TCustomDataFormat* DataFormat, bool& Accept)>;

// Whether the pointer moves slowly enough to scroll: under 20 pixels per second, measured
// against a reference sample that follows the pointer in steps of at least 10 ms.
class TDragSpeedTest {
public:
    static constexpr int MaxSpeed = 20;
    static constexpr uint32_t SampleTime = 10;

    void Reset(uint32_t Now, QPoint Point);
    bool Test(uint32_t Now, QPoint Point);

private:
    uint32_t FReferenceTime = 0;
    QPoint FReferencePoint;
    bool FPending = false;
    uint32_t FPendingTime = 0;
    QPoint FPendingPoint;
};

class TCustomDropTarget : public TDragDropComponent, public IDropTarget {
    Q_OBJECT
public:
    // The first scroll step comes this long after the pointer came to rest, the next ones at
    // this interval.
    static constexpr int ScrollDelay = 50;
    static constexpr int ScrollInterval = 50;

    explicit TCustomDropTarget(QObject* Owner = nullptr);
    // Unregisters every control.
    ~TCustomDropTarget() override;

    TDragTypes DragTypes() const { return FDragTypes; }
    void SetDragTypes(TDragTypes Value) { FDragTypes = Value; }
    bool GetDataOnEnter() const { return FGetDataOnEnter; }
    void SetGetDataOnEnter(bool Value) { FGetDataOnEnter = Value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    // The drag image is the source's picture; this flag is kept for its rule that a drag
    // entering no registered control switches it off.
    bool ShowImage() const { return FShowImage; }
    void SetShowImage(bool Value) { FShowImage = Value; }
    bool MultiTarget() const { return FMultiTarget; }
    void SetMultiTarget(bool Value) { FMultiTarget = Value; }
    // Registration follows the control through every change of its window either way.
    bool AutoRegister() const { return FAutoRegister; }
    void SetAutoRegister(bool Value) { FAutoRegister = Value; }
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool Value) { FAutoScroll = Value; }
    // A MOVE drop is reported to the source as COPY (the target moved the data itself).
    bool OptimizedMove() const { return FOptimizedMove; }
    void SetOptimizedMove(bool Value) { FOptimizedMove = Value; }

    // The control last given (none clears every registration).
    QWidget* Target() const { return FTarget; }
    void SetTarget(QWidget* Value);
    // A control inside a registered one comes right after it in the list. Raises when the
    // window system refuses.
    void Register(QWidget* Control);
    // None: every control, from the last to the first.
    void Unregister(QWidget* Control = nullptr);
    // The registered controls in list order.
    std::vector<QWidget*> Targets() const;
    // The registered control under a screen point (the widget there or one of its parents).
    QWidget* FindTarget(QPoint ScreenPoint);
    // The registered control the drag is over now.
    QWidget* CurrentTarget() const { return FCurrentTarget; }
    IDataObject* DataObject() const { return FDataObject; }

    // Takes the clipboard's data as a drop with the preferred effect; the effect, or 0 when no
    // data was taken.
    uint32_t PasteFromClipboard();
    bool CanPasteFromClipboard();

    TDropTargetEvent OnEnter;
    TDropTargetEvent OnDragOver;
    TDropTargetEvent OnDrop;
    TDropTargetEvent OnGetDropEffect;
    TNotifyEvent OnLeave;
    TDropTargetScrollEvent OnScroll;

    // Scroll state, for the window's users and tests.
    const QTimer& ScrollTimer() const { return FScrollTimer; }
    TScrollDirections ScrollDirections() const { return FScrollDirections; }
    const QRect& InnerRect() const { return FInnerRect; }

    // IDropTarget
    HRESULT DragEnter(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint,
                      uint32_t* Effect) override;
    HRESULT DragOver(uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) override;
    HRESULT DragLeave() override;
    HRESULT Drop(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) override;

    void GetDataFormatConversions(TDataFormatClass DataFormatClass, TClipboardFormats& Formats) override;

protected:
    virtual void DoEnter(TShiftState ShiftState, QPoint Point, uint32_t& Effect);
    virtual void DoDragOver(TShiftState ShiftState, QPoint Point, uint32_t& Effect);
    // OnDrop, then the effect (COPY for MOVE with OptimizedMove) is written to the source; the
    // effect becomes that value only when the source took it.
    virtual void DoDrop(TShiftState ShiftState, QPoint Point, uint32_t& Effect);
    virtual void DoLeave();
    virtual void DoPasteDone(uint32_t& Effect);
    virtual void DoScroll(QPoint Point, TScrollDirections& Scroll, int& Interval);
    virtual bool FetchData(uint32_t Effect);
    virtual bool ReadDataFormats() = 0;
    virtual void ClearData() = 0;
    virtual uint32_t GetValidDropEffect(TShiftState ShiftState, QPoint Point, uint32_t Effect);
    // "Preferred DropEffect" of the held data object; 0 when it has none.
    virtual uint32_t GetPreferredDropEffect();
    virtual bool SetPerformedDropEffect(uint32_t Effect);
    virtual bool SetPasteSucceeded(uint32_t Effect);
    virtual bool HasValidFormats(IDataObject& DataObject) = 0;
    // The directions the current control can scroll and the rectangle that does not scroll.
    virtual void InitScroll();
    // One step of the scroll timer.
    void ScrollTimerTimer();

    void ReleaseDataObject() { FDataObject = nullptr; }

private:
    QPoint ClientPoint(QPoint ScreenPoint) const;
    void ControlDestroyed(QObject* Control);
    void StopScrollTimer() { FScrollTimer.stop(); }

    TDragTypes FDragTypes;
    bool FGetDataOnEnter = false;
    bool FEnabled = true;
    bool FShowImage = true;
    bool FMultiTarget = false;
    bool FAutoRegister = true;
    bool FAutoScroll = true;
    bool FOptimizedMove = false;

    QPointer<QWidget> FTarget;
    std::vector<QPointer<QWidget>> FControls;
    QPointer<QWidget> FCurrentTarget;
    IDataObject* FDataObject = nullptr;
    QPoint FLastClientPoint;
    QTimer FScrollTimer;
    TScrollDirections FScrollDirections = 0;
    QRect FInnerRect;
    TDragSpeedTest FSpeed;
};

// A target whose data formats receive the data; DragTypes [dtCopy, dtLink].
class TCustomDropMultiTarget : public TCustomDropTarget {
    Q_OBJECT
public:
    explicit TCustomDropMultiTarget(QObject* Owner = nullptr);

    TAcceptFormatEvent OnAcceptFormat;

protected:
    // Each data format that finds a valid format and is accepted takes its data.
    bool ReadDataFormats() override;
    // Raises nothing: there is no asynchronous transfer.
    void ClearData() override;
    // The data object's formats one by one: the first data format that accepts one and finds it
    // there, and is accepted, says yes.
    bool HasValidFormats(IDataObject& DataObject) override;
    virtual void DoAcceptFormat(TCustomDataFormat* DataFormat, bool& Accept);

private:
    TUnitReference FFormatsUnit{DragDropFormatsUnitStart, DragDropFormatsUnitStop};
};
