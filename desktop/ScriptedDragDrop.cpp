// The scripted backend: drags as step lists through the registered targets, timed press input,
// a hand-set clock and an in-memory clipboard.
#include "desktop/ScriptedDragDrop.h"

#include <QApplication>
#include <QStyle>
#include <QWidget>

// The watch of one press, over the backend's timed input.
class TScriptedDragDropBackend::TInput : public IDragStartInput {
public:
    explicit TInput(TScriptedDragDropBackend& Backend) : FBackend(Backend) {
        FBackend.FCaptured = true;
        FBackend.FCaptureLost = false;
    }
    ~TInput() override { FBackend.FCaptured = false; }

    bool HasCapture() override {
        TakeDueCaptureLoss();
        return !FBackend.FCaptureLost;
    }

    bool ButtonMessageWaiting() override {
        TakeDueCaptureLoss();
        return Due() && IsButton(FBackend.FInput.front());
    }

    bool TakeMessage(TInputMessage& Message) override {
        TakeDueCaptureLoss();
        if (!Due() || IsButton(FBackend.FInput.front()))
            return false;
        const TScriptedInput input = FBackend.FInput.front();
        FBackend.FInput.pop_front();
        Message.Time = input.Time;
        Message.ScreenPoint = input.ScreenPoint;
        Message.Key = input.Key;
        Message.ExitCode = input.ExitCode;
        Message.Kind = input.Kind == TScriptedInput::siMove      ? TInputMessage::imMouseMove
                       : input.Kind == TScriptedInput::siKeyDown ? TInputMessage::imKeyDown
                       : input.Kind == TScriptedInput::siQuit    ? TInputMessage::imQuit
                                                                 : TInputMessage::imCancelMode;
        return true;
    }

    bool WaitForInput(uint32_t Ms) override {
        if (Due())
            return true;
        if (!FBackend.FInput.empty() && FBackend.FInput.front().Time - FBackend.FNow <= Ms) {
            FBackend.FNow = FBackend.FInput.front().Time;
            return true;
        }
        FBackend.FNow += Ms;
        return false;
    }

    void RepostQuit(int ExitCode) override { FBackend.FReposted.push_back(ExitCode); }

private:
    static bool IsButton(const TScriptedInput& Input) {
        return Input.Kind == TScriptedInput::siButtonDown || Input.Kind == TScriptedInput::siButtonUp;
    }
    bool Due() const {
        return !FBackend.FInput.empty() && int32_t(FBackend.FInput.front().Time - FBackend.FNow) <= 0;
    }
    void TakeDueCaptureLoss() {
        while (Due() && FBackend.FInput.front().Kind == TScriptedInput::siCaptureLost) {
            FBackend.FCaptureLost = true;
            FBackend.FInput.pop_front();
        }
    }

    TScriptedDragDropBackend& FBackend;
};

TScriptedDragDropBackend::TScriptedDragDropBackend() {
    FClock.start();
}

uint32_t TScriptedDragDropBackend::TickCount() {
    return FRealClock ? uint32_t(FClock.elapsed()) : FNow;
}

int TScriptedDragDropBackend::ScrollBarExtent() {
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

void TScriptedDragDropBackend::SetInput(std::vector<TScriptedInput> Events) {
    FInput.assign(Events.begin(), Events.end());
}

std::unique_ptr<IDragStartInput> TScriptedDragDropBackend::CaptureForDragStart(QWidget*) {
    return std::make_unique<TInput>(*this);
}

HRESULT TScriptedDragDropBackend::RegisterDragDrop(QWidget* Window, IDropTarget* Target) {
    if (!Window || !Target)
        return DRAGDROP_E_INVALIDHWND;
    if (FTargets.count(Window))
        return DRAGDROP_E_ALREADYREGISTERED;
    FTargets[Window] = Target;
    return S_OK;
}

HRESULT TScriptedDragDropBackend::RevokeDragDrop(QWidget* Window) {
    return FTargets.erase(Window) ? S_OK : DRAGDROP_E_NOTREGISTERED;
}

IDropTarget* TScriptedDragDropBackend::TargetOf(QWidget* Window) const {
    const auto found = FTargets.find(Window);
    return found == FTargets.end() ? nullptr : found->second;
}

QWidget* TScriptedDragDropBackend::RegisteredAt(QPoint ScreenPoint) const {
    for (QWidget* widget = FindWidgetAt(ScreenPoint); widget; widget = widget->parentWidget())
        if (FTargets.count(widget))
            return widget;
    return nullptr;
}

namespace {

// What a foreign program's source answers: Esc cancels, held buttons go on, and a release
// drops where the target offered an effect.
HRESULT ForeignQueryContinue(bool Escape, uint32_t KeyState, uint32_t LastEffect) {
    if (Escape)
        return DRAGDROP_S_CANCEL;
    if (KeyState & (MK_LBUTTON | MK_RBUTTON))
        return S_OK;
    return (LastEffect & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK)) ? DRAGDROP_S_DROP
                                                                                : DRAGDROP_S_CANCEL;
}

} // namespace

HRESULT TScriptedDragDropBackend::RunDrag(IDataObject* DataObject, IDropSource* Source, uint32_t OkEffects,
                                          const std::vector<TDragStep>& Steps, uint32_t* Effect,
                                          TDragRecord& Record) {
    QWidget* current = nullptr;
    IDropTarget* target = nullptr;
    QPoint point = FCursor;
    uint32_t last = DROPEFFECT_NONE;
    const auto leave = [&] {
        if (target)
            target->DragLeave();
        target = nullptr;
        current = nullptr;
    };
    for (size_t i = 0; i < Steps.size(); ++i) {
        if (OnDragStep)
            OnDragStep(i);
        const TDragStep& step = Steps[i];
        FNow += step.AdvanceMs;
        if (step.Kind == TDragStep::dsMove) {
            point = step.ScreenPoint;
            FCursor = point;
        }
        const bool escape = step.Kind == TDragStep::dsEscape;
        const HRESULT query = Source ? Source->QueryContinueDrag(escape, step.KeyState)
                                     : ForeignQueryContinue(escape, step.KeyState, last);
        if (query == DRAGDROP_S_DROP) {
            uint32_t effect = OkEffects;
            if (!target || Failed(target->Drop(DataObject, step.KeyState, point, &effect)))
                effect = DROPEFFECT_NONE;
            *Effect = effect;
            return DRAGDROP_S_DROP;
        }
        if (query != S_OK) {
            leave();
            return Failed(query) ? query : DRAGDROP_S_CANCEL;
        }
        QWidget* under = RegisteredAt(point);
        uint32_t effect = OkEffects;
        if (under != current) {
            leave();
            current = under;
            target = under ? FTargets[under] : nullptr;
            if (!target || Failed(target->DragEnter(DataObject, step.KeyState, point, &effect)))
                effect = DROPEFFECT_NONE;
        } else if (!target || Failed(target->DragOver(step.KeyState, point, &effect)))
            effect = DROPEFFECT_NONE;
        last = effect;
        Record.Effects.push_back(effect);
        if (Source)
            Source->GiveFeedback(effect);
    }
    leave(); // the script ended before the button went up
    return DRAGDROP_S_CANCEL;
}

HRESULT TScriptedDragDropBackend::DoDragDrop(IDataObject* DataObject, IDropSource* Source, uint32_t OkEffects,
                                             uint32_t* Effect, const TDragImage& Image, QObject* DragSource) {
    if (!DataObject || !Source || !Effect)
        return E_INVALIDARG;
    *Effect = DROPEFFECT_NONE;
    TDragRecord record{OkEffects, Image, DragSource, S_OK, 0, {}};
    const std::vector<TDragStep> steps = std::move(FScript);
    FScript.clear();
    record.Result = RunDrag(DataObject, Source, OkEffects, steps, Effect, record);
    record.Effect = *Effect;
    FDrags.push_back(record);
    return record.Result;
}

HRESULT TScriptedDragDropBackend::RunForeignDrag(IDataObject* DataObject, uint32_t OkEffects,
                                                 std::vector<TDragStep> Steps, uint32_t* Effect) {
    if (!DataObject || !Effect)
        return E_INVALIDARG;
    *Effect = DROPEFFECT_NONE;
    TDragRecord record{OkEffects, {}, nullptr, S_OK, 0, {}};
    record.Result = RunDrag(DataObject, nullptr, OkEffects, Steps, Effect, record);
    record.Effect = *Effect;
    FDrags.push_back(record);
    return record.Result;
}

HRESULT TScriptedDragDropBackend::SetClipboard(IDataObject* DataObject) {
    FClipboardObject = DataObject;
    FClipboardCopy.reset();
    return S_OK;
}

std::shared_ptr<IDataObject> TScriptedDragDropBackend::GetClipboard() {
    if (FClipboardObject)
        return std::shared_ptr<IDataObject>(FClipboardObject, [](IDataObject*) {}); // borrowed
    return FClipboardCopy;
}

HRESULT TScriptedDragDropBackend::FlushClipboard() {
    if (!FClipboardObject)
        return S_OK;
    FClipboardCopy = SnapshotDataObject(*FClipboardObject);
    FClipboardObject = nullptr;
    return S_OK;
}

HRESULT TScriptedDragDropBackend::IsCurrentClipboard(IDataObject* DataObject) {
    return DataObject && DataObject == FClipboardObject ? S_OK : S_FALSE;
}

TScopedScriptedBackend::TScopedScriptedBackend() {
    auto backend = std::make_unique<TScriptedDragDropBackend>();
    FBackend = backend.get();
    FPrevious = SetDragDropBackend(std::move(backend));
}

TScopedScriptedBackend::~TScopedScriptedBackend() {
    SetDragDropBackend(std::move(FPrevious));
}
