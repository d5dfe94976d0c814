// The drop target: registration, the four drag calls, the drop effect, auto-scrolling with its
// speed test, the feedback written back, paste from the clipboard, and the multi-format target.
#include "desktop/DropTarget.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

namespace {

uint32_t Tick() {
    return DragDropBackend().TickCount();
}

// A scroll bar's range in the window system's terms: Max counts the page.
bool CanScrollForward(const QScrollBar& Bar) {
    const int max = Bar.maximum() + Bar.pageStep() - 1;
    return max >= Bar.value() + Bar.pageStep();
}

} // namespace

// ---- speed test --------------------------------------------------------------------------

void TDragSpeedTest::Reset(uint32_t Now, QPoint Point) {
    FReferenceTime = Now;
    FReferencePoint = Point;
    FPending = false;
}

bool TDragSpeedTest::Test(uint32_t Now, QPoint Point) {
    bool slow = true;
    const uint32_t elapsed = Now - FReferenceTime;
    if (elapsed >= SampleTime) {
        const int64_t dx = Point.x() - FReferencePoint.x();
        const int64_t dy = Point.y() - FReferencePoint.y();
        const int64_t squared = (dx * dx + dy * dy) * 1000000;
        const int64_t divisor = int64_t(elapsed) * int64_t(elapsed);
        const int64_t speed2 = (squared + divisor / 2) / divisor; // rounded, as a multiply-divide rounds
        slow = speed2 <= int64_t(MaxSpeed) * MaxSpeed;
        if (!FPending) {
            FPending = true;
            FPendingTime = Now;
            FPendingPoint = Point;
        }
    }
    if (FPending && Now - FPendingTime >= SampleTime) {
        FReferenceTime = FPendingTime;
        FReferencePoint = FPendingPoint;
        FPendingTime = Now;
        FPendingPoint = Point;
    }
    return slow;
}

// ---- registration ------------------------------------------------------------------------

TCustomDropTarget::TCustomDropTarget(QObject* Owner) : TDragDropComponent(Owner) {
    FScrollTimer.setInterval(ScrollDelay);
    connect(&FScrollTimer, &QTimer::timeout, this, [this] {
        try {
            ScrollTimerTimer();
        } catch (...) {
            FScrollTimer.stop();
        }
    });
}

TCustomDropTarget::~TCustomDropTarget() {
    Unregister();
}

void TCustomDropTarget::SetTarget(QWidget* Value) {
    if (Value == FTarget)
        return;
    if (FMultiTarget || !Value)
        Unregister();
    FTarget = Value;
    if (Value)
        Register(Value);
}

std::vector<QWidget*> TCustomDropTarget::Targets() const {
    std::vector<QWidget*> controls;
    for (const QPointer<QWidget>& control : FControls)
        if (control)
            controls.push_back(control);
    return controls;
}

void TCustomDropTarget::Register(QWidget* Control) {
    if (!Control)
        return;
    for (const QPointer<QWidget>& control : FControls)
        if (control == Control)
            return;
    if (!FMultiTarget)
        Unregister();
    if (Failed(DragDropBackend().RegisterDragDrop(Control, this)))
        throw EDragDropError(QStringLiteral("%1 could not be registered as a drop target")
                                 .arg(Control->objectName().isEmpty() ? QStringLiteral("The control")
                                                                      : Control->objectName()));
    auto place = FControls.end();
    for (auto it = FControls.begin(); it != FControls.end(); ++it)
        if (*it && (*it)->isAncestorOf(Control)) {
            place = it + 1;
            break;
        }
    FControls.insert(place, QPointer<QWidget>(Control));
    connect(Control, &QObject::destroyed, this, &TCustomDropTarget::ControlDestroyed);
}

void TCustomDropTarget::Unregister(QWidget* Control) {
    if (!Control) {
        while (!FControls.empty()) {
            QWidget* last = FControls.back();
            if (last)
                Unregister(last);
            else
                FControls.pop_back();
        }
        return;
    }
    const auto found = std::find(FControls.begin(), FControls.end(), Control);
    if (found == FControls.end())
        return;
    FControls.erase(found);
    if (FCurrentTarget == Control)
        FCurrentTarget = nullptr;
    disconnect(Control, &QObject::destroyed, this, &TCustomDropTarget::ControlDestroyed);
    DragDropBackend().RevokeDragDrop(Control);
}

void TCustomDropTarget::ControlDestroyed(QObject* Control) {
    // The widget is going away: forget it without touching it, and let the backend drop its
    // record of the registration (keyed by the pointer alone).
    std::erase_if(FControls, [](const QPointer<QWidget>& control) { return control.isNull(); });
    for (auto it = FControls.begin(); it != FControls.end(); ++it)
        if (static_cast<QObject*>(it->data()) == Control) {
            FControls.erase(it);
            break;
        }
    DragDropBackend().RevokeDragDrop(static_cast<QWidget*>(Control));
}

QWidget* TCustomDropTarget::FindTarget(QPoint ScreenPoint) {
    for (QWidget* widget = DragDropBackend().WidgetAt(ScreenPoint); widget; widget = widget->parentWidget())
        for (const QPointer<QWidget>& control : FControls)
            if (control == widget)
                return widget;
    return nullptr;
}

QPoint TCustomDropTarget::ClientPoint(QPoint ScreenPoint) const {
    return FCurrentTarget ? ClientWidget(FCurrentTarget)->mapFromGlobal(ScreenPoint) : ScreenPoint;
}

void TCustomDropTarget::GetDataFormatConversions(TDataFormatClass DataFormatClass,
                                                 TClipboardFormats& Formats) {
    GetCompatibleFormats(DataFormatClass, Formats, csTarget);
}

// ---- the drag calls ----------------------------------------------------------------------

HRESULT TCustomDropTarget::DragEnter(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint,
                                     uint32_t* Effect) {
    if (!Effect)
        return E_INVALIDARG;
    try {
        if (FEnabled) {
            ClearData();
            FDataObject = DataObject;
        }
        FCurrentTarget = FindTarget(ScreenPoint);
        if (!FCurrentTarget) {
            // Entered where no registered control is: these stay off from now on.
            FShowImage = false;
            FAutoScroll = false;
        }
        FLastClientPoint = ClientPoint(ScreenPoint);
        FSpeed.Reset(Tick(), ScreenPoint);
        if (FEnabled && DataObject && HasValidFormats(*DataObject)) {
            InitScroll();
            if (FGetDataOnEnter && !FetchData(*Effect)) {
                FDataObject = nullptr;
                *Effect = DROPEFFECT_NONE;
                return DV_E_CLIPFORMAT;
            }
            const TShiftState shift = KeysToShiftState(KeyState);
            *Effect = GetValidDropEffect(shift, FLastClientPoint, *Effect);
            DoEnter(shift, FLastClientPoint, *Effect);
            if ((*Effect & ~DROPEFFECT_SCROLL) == 0)
                FDataObject = nullptr;
        } else {
            FDataObject = nullptr;
            *Effect = DROPEFFECT_NONE;
        }
        return S_OK;
    } catch (...) {
        FDataObject = nullptr;
        *Effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
}

HRESULT TCustomDropTarget::DragOver(uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) {
    if (!Effect)
        return E_INVALIDARG;
    try {
        if (!FCurrentTarget) {
            *Effect = DROPEFFECT_NONE;
            return E_UNEXPECTED;
        }
        const QPoint client = ClientPoint(ScreenPoint);
        const TShiftState shift = KeysToShiftState(KeyState);
        InitScroll();
        *Effect = GetValidDropEffect(shift, client, *Effect);
        HRESULT result = DV_E_CLIPFORMAT;
        if (FEnabled && FDataObject) {
            DoDragOver(shift, client, *Effect);
            result = S_OK;
        }
        const bool slow = FSpeed.Test(Tick(), ScreenPoint);
        if (*Effect & DROPEFFECT_SCROLL) {
            if (!FScrollTimer.isActive())
                FScrollTimer.setInterval(ScrollDelay);
            if (!slow)
                FScrollTimer.stop();
            else if (!FScrollTimer.isActive())
                FScrollTimer.start();
        } else
            FScrollTimer.stop();
        FLastClientPoint = client;
        return result;
    } catch (...) {
        *Effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
}

HRESULT TCustomDropTarget::DragLeave() {
    StopScrollTimer();
    try {
        ClearData();
        FDataObject = nullptr;
        FCurrentTarget = nullptr;
        DoLeave();
        return S_OK;
    } catch (...) {
        FDataObject = nullptr;
        FCurrentTarget = nullptr;
        return E_UNEXPECTED;
    }
}

HRESULT TCustomDropTarget::Drop(IDataObject*, uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) {
    if (!Effect)
        return E_INVALIDARG;
    StopScrollTimer();
    HRESULT result = E_UNEXPECTED;
    try {
        if (FEnabled && FDataObject) {
            const TShiftState shift = KeysToShiftState(KeyState);
            const QPoint client = ClientPoint(ScreenPoint);
            // The scroll bit means nothing to a drop.
            *Effect = GetValidDropEffect(shift, client, *Effect) & ~DROPEFFECT_SCROLL;
            if (FGetDataOnEnter || FetchData(*Effect))
                DoDrop(shift, client, *Effect);
            else
                *Effect = DROPEFFECT_NONE;
            result = S_OK;
        } else
            *Effect = DROPEFFECT_NONE;
    } catch (...) {
        *Effect = DROPEFFECT_NONE;
        result = E_UNEXPECTED;
    }
    // The received data stays readable until the next drag clears it.
    FDataObject = nullptr;
    FCurrentTarget = nullptr;
    return result;
}

void TCustomDropTarget::DoEnter(TShiftState ShiftState, QPoint Point, uint32_t& Effect) {
    if (OnEnter)
        OnEnter(this, ShiftState, Point, Effect);
}

void TCustomDropTarget::DoDragOver(TShiftState ShiftState, QPoint Point, uint32_t& Effect) {
    if (OnDragOver)
        OnDragOver(this, ShiftState, Point, Effect);
}

void TCustomDropTarget::DoDrop(TShiftState ShiftState, QPoint Point, uint32_t& Effect) {
    if (OnDrop)
        OnDrop(this, ShiftState, Point, Effect);
    if (Effect == DROPEFFECT_NONE)
        return;
    const uint32_t reported = FOptimizedMove && Effect == DROPEFFECT_MOVE ? DROPEFFECT_COPY : Effect;
    if (SetPerformedDropEffect(reported))
        Effect = reported;
}

void TCustomDropTarget::DoLeave() {
    if (OnLeave)
        OnLeave(this);
}

void TCustomDropTarget::DoPasteDone(uint32_t& Effect) {
    DoDrop(0, QPoint(0, 0), Effect);
    if (Effect != DROPEFFECT_NONE)
        SetPasteSucceeded(Effect);
}

void TCustomDropTarget::DoScroll(QPoint Point, TScrollDirections& Scroll, int& Interval) {
    if (OnScroll)
        OnScroll(this, Point, Scroll, Interval);
}

bool TCustomDropTarget::FetchData(uint32_t) {
    ClearData();
    return ReadDataFormats();
}

uint32_t TCustomDropTarget::GetValidDropEffect(TShiftState ShiftState, QPoint Point, uint32_t Effect) {
    uint32_t effect = Effect & DragTypesToDropEffect(FDragTypes);
    if (!OnGetDropEffect)
        effect = ShiftStateToDropEffect(ShiftState, effect, true);
    if (FAutoScroll && FScrollDirections != 0) {
        if (FInnerRect.contains(Point))
            effect &= ~DROPEFFECT_SCROLL;
        else
            effect |= DROPEFFECT_SCROLL;
    }
    if (OnGetDropEffect)
        OnGetDropEffect(this, ShiftState, Point, effect);
    return effect;
}

uint32_t TCustomDropTarget::GetPreferredDropEffect() {
    if (!FDataObject)
        return DROPEFFECT_NONE;
    TPreferredDropEffectClipboardFormat format;
    return format.GetData(*FDataObject) ? format.Value() : DROPEFFECT_NONE;
}

namespace {

// Writes one 32-bit feedback value into a data object as global memory.
bool WriteFeedback(IDataObject* DataObject, TCustomDWORDClipboardFormat& Format, uint32_t Value) {
    if (!DataObject)
        return false;
    Format.SetValue(Value);
    TFormatEtc request = Format.FormatEtc();
    request.tymed = TYMED_HGLOBAL;
    return Format.SetDataToMedium(*DataObject, request);
}

} // namespace

bool TCustomDropTarget::SetPerformedDropEffect(uint32_t Effect) {
    TPerformedDropEffectClipboardFormat format;
    return WriteFeedback(FDataObject, format, Effect);
}

bool TCustomDropTarget::SetPasteSucceeded(uint32_t Effect) {
    TPasteSucceededClipboardFormat format;
    return WriteFeedback(FDataObject, format, Effect);
}

uint32_t TCustomDropTarget::PasteFromClipboard() {
    FCurrentTarget = nullptr;
    const std::shared_ptr<IDataObject> clipboard = DragDropBackend().GetClipboard();
    if (!clipboard)
        return DROPEFFECT_NONE;
    FDataObject = clipboard.get();
    uint32_t result = DROPEFFECT_NONE;
    try {
        const uint32_t effect = GetPreferredDropEffect();
        if (FetchData(effect))
            result = effect;
        DoPasteDone(result);
    } catch (...) {
        FDataObject = nullptr;
        throw;
    }
    FDataObject = nullptr;
    return result;
}

bool TCustomDropTarget::CanPasteFromClipboard() {
    const std::shared_ptr<IDataObject> clipboard = DragDropBackend().GetClipboard();
    return clipboard && HasValidFormats(*clipboard);
}

// ---- scrolling ---------------------------------------------------------------------------

void TCustomDropTarget::InitScroll() {
    FScrollDirections = 0;
    if (!FAutoScroll || !FCurrentTarget)
        return;
    auto* area = qobject_cast<QAbstractScrollArea*>(FCurrentTarget.data());
    if (!area)
        return;
    const bool vertical = area->verticalScrollBar()->isVisibleTo(area);
    const bool horizontal = area->horizontalScrollBar()->isVisibleTo(area);
    if (!vertical && !horizontal)
        return;
    const int extent = DragDropBackend().ScrollBarExtent();
    QRect inner = ClientWidget(area)->rect();
    if (vertical) {
        inner.adjust(0, 2 * extent, 0, -2 * extent);
        FScrollDirections |= ScrollBit(sdUp) | ScrollBit(sdDown);
    }
    if (horizontal) {
        inner.adjust(2 * extent, 0, -2 * extent, 0);
        FScrollDirections |= ScrollBit(sdLeft) | ScrollBit(sdRight);
    }
    FInnerRect = inner;
}

void TCustomDropTarget::ScrollTimerTimer() {
    FScrollTimer.stop();
    int interval = ScrollInterval;
    TScrollDirections scroll = 0;
    auto* area = qobject_cast<QAbstractScrollArea*>(FCurrentTarget.data());
    if (!area || FInnerRect.contains(FLastClientPoint))
        return;
    if (!FSpeed.Test(Tick(), DragDropBackend().CursorPos()))
        return;
    const QPoint point = FLastClientPoint;
    QScrollBar& vertical = *area->verticalScrollBar();
    QScrollBar& horizontal = *area->horizontalScrollBar();
    if (FScrollDirections & ScrollBit(sdUp)) {
        if (point.y() < FInnerRect.top() && vertical.value() > vertical.minimum())
            scroll |= ScrollBit(sdUp);
        else if (point.y() > FInnerRect.bottom() && CanScrollForward(vertical))
            scroll |= ScrollBit(sdDown);
    }
    if (FScrollDirections & ScrollBit(sdLeft)) {
        if (point.x() < FInnerRect.left() && horizontal.value() > horizontal.minimum())
            scroll |= ScrollBit(sdLeft);
        else if (point.x() > FInnerRect.right() && CanScrollForward(horizontal))
            scroll |= ScrollBit(sdRight);
    }
    if (scroll == 0)
        return;
    DoScroll(point, scroll, interval);
    if (scroll == 0)
        return;
    if (scroll & ScrollBit(sdUp))
        vertical.triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (scroll & ScrollBit(sdDown))
        vertical.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (scroll & ScrollBit(sdLeft))
        horizontal.triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (scroll & ScrollBit(sdRight))
        horizontal.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    FScrollTimer.setInterval(interval);
    FScrollTimer.start();
}

// ---- multi-format target -----------------------------------------------------------------

TCustomDropMultiTarget::TCustomDropMultiTarget(QObject* Owner) : TCustomDropTarget(Owner) {
    SetDragTypes({dtCopy, dtLink});
    SetGetDataOnEnter(false);
}

bool TCustomDropMultiTarget::ReadDataFormats() {
    IDataObject* dataObject = DataObject();
    if (!dataObject)
        return false;
    bool taken = false;
    for (TCustomDataFormat* dataFormat : DataFormats()) {
        if (!dataFormat->HasValidFormats(*dataObject))
            continue;
        bool accept = true;
        DoAcceptFormat(dataFormat, accept);
        if (accept && dataFormat->GetData(*dataObject))
            taken = true;
    }
    return taken;
}

void TCustomDropMultiTarget::ClearData() {
    for (TCustomDataFormat* dataFormat : DataFormats())
        dataFormat->Clear();
}

bool TCustomDropMultiTarget::HasValidFormats(IDataObject& DataObject) {
    for (const TFormatEtc& format : EnumeratedFormats(DataObject, DATADIR_GET))
        for (TCustomDataFormat* dataFormat : DataFormats()) {
            if (!dataFormat->AcceptFormat(format) || !dataFormat->HasValidFormats(DataObject))
                continue;
            bool accept = true;
            DoAcceptFormat(dataFormat, accept);
            if (accept)
                return true;
            break;
        }
    return false;
}

void TCustomDropMultiTarget::DoAcceptFormat(TCustomDataFormat* DataFormat, bool& Accept) {
    if (OnAcceptFormat)
        OnAcceptFormat(this, DataFormat, Accept);
}
