// Clipboard and data formats, the conversion map, the drag detector and the drop-effect rules.
#include "desktop/DragDrop.h"

#include "desktop/DragDropBackend.h"

#include <QDebug>
#include <QWidget>

#include <algorithm>

EDragDropError::EDragDropError(const QString& Message) : std::runtime_error(Message.toStdString()) {}

bool TClipboardFormatClassInfo::InheritsFrom(const TClipboardFormatClassInfo* Other) const {
    for (const TClipboardFormatClassInfo* cls = this; cls; cls = cls->Parent)
        if (cls == Other)
            return true;
    return false;
}

bool TDataFormatClassInfo::InheritsFrom(const TDataFormatClassInfo* Other) const {
    for (const TDataFormatClassInfo* cls = this; cls; cls = cls->Parent)
        if (cls == Other)
            return true;
    return false;
}

// ---- clipboard formats -------------------------------------------------------------------

const TClipboardFormatClassInfo TClipboardFormat::ClassInfo{"TClipboardFormat", nullptr, nullptr, ddRead};

TClipboardFormat::TClipboardFormat(uint32_t Tymed) {
    FFormatEtc.tymed = Tymed;
}

TClipboardFormat::TClipboardFormat(const TFormatEtc& FormatEtc) : FFormatEtc(FormatEtc) {}

TClipboardFormat::~TClipboardFormat() = default;

bool TClipboardFormat::DoGetData(const TStgMedium&) {
    return false;
}

bool TClipboardFormat::DoSetData(const TFormatEtc&, TStgMedium&) {
    return false;
}

TClipFormat TClipboardFormat::GetClipboardFormat() {
    if (FFormatEtc.cfFormat != 0)
        return FFormatEtc.cfFormat;
    throw EDragDropError(
        QStringLiteral("Internal error: %1.%2 needs implementation").arg(ClassName(), "GetClipboardFormat"));
}

void TClipboardFormat::SetClipboardFormat(TClipFormat Value) {
    FFormatEtc.cfFormat = Value;
}

QString TClipboardFormat::GetClipboardFormatName() {
    return ::GetClipboardFormatName(ClipboardFormat(), 255);
}

void TClipboardFormat::SetClipboardFormatName(const QString&) {
    throw EDragDropError(QStringLiteral("%1.ClipboardFormat is read-only").arg(ClassName()));
}

TClipFormat TClipboardFormat::ClipboardFormat() {
    if (FFormatEtc.cfFormat == 0)
        FFormatEtc.cfFormat = GetClipboardFormat();
    return FFormatEtc.cfFormat;
}

const TFormatEtc& TClipboardFormat::FormatEtc() {
    ClipboardFormat();
    return FFormatEtc;
}

uint32_t TClipboardFormat::GetValidTymeds(IDataObject& DataObject) {
    TFormatEtc request = FormatEtc();
    uint32_t valid = 0;
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((FFormatEtc.tymed & bit) == 0)
            continue;
        request.tymed = bit;
        if (DataObject.QueryGetData(request) == S_OK)
            valid |= bit;
    }
    return valid;
}

bool TClipboardFormat::HasValidFormats(IDataObject& DataObject) {
    TFormatEtc request = FormatEtc();
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((FFormatEtc.tymed & bit) == 0)
            continue;
        request.tymed = bit;
        if (DataObject.QueryGetData(request) == S_OK)
            return true;
    }
    return false;
}

bool TClipboardFormat::AcceptFormat(const TFormatEtc& Format) {
    return Format.cfFormat == ClipboardFormat() && Format.ptd == nullptr &&
           Format.dwAspect == FFormatEtc.dwAspect && (Format.tymed & FFormatEtc.tymed) != 0;
}

bool TClipboardFormat::GetData(IDataObject& DataObject) {
    Clear();
    TFormatEtc request = FormatEtc();
    request.tymed = GetValidTymeds(DataObject);
    if (request.tymed == 0)
        return false;
    TStgMedium medium;
    if (Failed(DataObject.GetData(request, medium)))
        return false;
    return GetDataFromMedium(medium);
}

namespace {

// Releases a medium when the scope ends, whatever happened inside.
struct TMediumRelease {
    TStgMedium& Medium;
    ~TMediumRelease() { ReleaseStgMedium(Medium); }
};

} // namespace

bool TClipboardFormat::GetDataFromMedium(TStgMedium& Medium) {
    TMediumRelease release{Medium};
    Clear();
    return (Medium.tymed & FFormatEtc.tymed) != 0 && DoGetData(Medium);
}

bool TClipboardFormat::SetDataToMedium(IDataObject& DataObject, const TFormatEtc& Format) {
    if (Format.cfFormat != ClipboardFormat() || Format.dwAspect != FFormatEtc.dwAspect ||
        (Format.tymed & FFormatEtc.tymed) == 0)
        return false;
    TStgMedium medium;
    TMediumRelease release{medium};
    if (!DoSetData(Format, medium))
        return false;
    TFormatEtc given = Format;
    given.tymed = medium.tymed;
    return Succeeded(DataObject.SetData(given, medium, true));
}

bool TClipboardFormat::AssignTo(TCustomDataFormat&) {
    return false;
}

bool TClipboardFormat::Assign(TCustomDataFormat&) {
    return false;
}

bool TClipboardFormat::HasData() {
    return true;
}

TClipboardFormats::TClipboardFormats(TCustomDataFormat* Owner, bool OwnsObjects)
    : FOwner(Owner), FOwnsObjects(OwnsObjects) {}

size_t TClipboardFormats::Add(std::shared_ptr<TClipboardFormat> Format) {
    if (FOwnsObjects)
        Format->SetDataFormat(FOwner);
    FFormats.push_back(std::move(Format));
    return FFormats.size() - 1;
}

TClipboardFormat* TClipboardFormats::FindFormat(TClipFormat Id) const {
    for (const auto& format : FFormats)
        if (format->ClipboardFormat() == Id)
            return format.get();
    return nullptr;
}

void TClipboardFormats::Clear() {
    if (FOwnsObjects)
        for (const auto& format : FFormats)
            if (format->DataFormat() == FOwner)
                format->SetDataFormat(nullptr);
    FFormats.clear();
}

void TClipboardFormats::Assign(const TClipboardFormats& Other) {
    Clear();
    FOwnsObjects = false;
    FFormats = Other.FFormats;
}

// ---- data formats ------------------------------------------------------------------------

const TDataFormatClassInfo TCustomDataFormat::ClassInfo{"TCustomDataFormat", nullptr, nullptr};

TCustomDataFormat::TCustomDataFormat(TDragDropComponent* Owner) : FOwner(Owner) {
    if (FOwner)
        FOwner->DataFormats().Add(this);
}

TCustomDataFormat::TCustomDataFormat(TConversionSide Side) : FSide(Side) {}

TCustomDataFormat::~TCustomDataFormat() {
    FCompatibleFormats.reset();
    if (FOwner)
        FOwner->DataFormats().Remove(this);
}

void TCustomDataFormat::Changing() {
    if (OnChanging)
        OnChanging(this);
}

bool TCustomDataFormat::Assign(TClipboardFormat& Format) {
    return Format.AssignTo(*this);
}

bool TCustomDataFormat::AssignTo(TClipboardFormat& Format) {
    return Format.Assign(*this);
}

bool TCustomDataFormat::GetData(IDataObject& DataObject) {
    Clear();
    bool taken = false;
    for (const auto& format : CompatibleFormats()) {
        if (!NeedsData())
            break;
        if (format->GetData(DataObject) && format->HasData())
            taken = Assign(*format) || taken;
    }
    return taken;
}

bool TCustomDataFormat::NeedsData() {
    return !HasData();
}

bool TCustomDataFormat::HasValidFormats(IDataObject& DataObject) {
    for (const auto& format : CompatibleFormats())
        if (format->HasValidFormats(DataObject))
            return true;
    return false;
}

bool TCustomDataFormat::AcceptFormat(const TFormatEtc& Format) {
    for (const auto& format : CompatibleFormats())
        if (format->AcceptFormat(Format))
            return true;
    return false;
}

TClipboardFormats& TCustomDataFormat::CompatibleFormats() {
    if (FCompatibleFormats)
        return *FCompatibleFormats;
    if (!FOwner && FSide < 0)
        throw EDragDropError(QStringLiteral("A data format without an owner has no compatible formats"));
    FCompatibleFormats = std::make_unique<TClipboardFormats>(this, true);
    if (FOwner)
        FOwner->GetDataFormatConversions(ClassType(), *FCompatibleFormats);
    else
        GetCompatibleFormats(ClassType(), *FCompatibleFormats, static_cast<TConversionSide>(FSide));
    return *FCompatibleFormats;
}

size_t TDataFormats::Add(TCustomDataFormat* Format) {
    const int index = IndexOf(Format);
    if (index >= 0)
        return size_t(index);
    FFormats.push_back(Format);
    if (OnAdd)
        OnAdd(Format);
    return FFormats.size() - 1;
}

void TDataFormats::Remove(TCustomDataFormat* Format) {
    std::erase(FFormats, Format);
}

int TDataFormats::IndexOf(const TCustomDataFormat* Format) const {
    const auto found = std::find(FFormats.begin(), FFormats.end(), Format);
    return found == FFormats.end() ? -1 : int(found - FFormats.begin());
}

TDragDropComponent::TDragDropComponent(QObject* Owner) : QObject(Owner) {}

TDragDropComponent::~TDragDropComponent() {
    // Each data format belongs to whoever made it; the remaining ones only lose their owner.
    for (TCustomDataFormat* format : FDataFormats)
        format->DetachOwner();
}

void TDragDropComponent::GetDataFormatConversions(TDataFormatClass, TClipboardFormats& Formats) {
    Formats.Clear();
}

// ---- the map and the unit's lifetime -----------------------------------------------------

namespace {

struct TUnitState {
    int StartCount = 0;
    bool ShuttingDown = false;
    std::unique_ptr<TDataFormatMap> Map;
    std::unique_ptr<TDataFormatClasses> Classes;
};

TUnitState& UnitState() {
    static TUnitState state;
    return state;
}

template <typename T> T& Instance(std::unique_ptr<T>& Slot, const char* Name) {
    if (!Slot) {
        if (UnitState().ShuttingDown)
            qDebug().noquote() << QStringLiteral("DragDrop.%1 recreated during shutdown").arg(Name);
        Slot = std::make_unique<T>();
    }
    return *Slot;
}

} // namespace

void DragDropUnitStart() {
    TUnitState& state = UnitState();
    if (state.StartCount++ == 0)
        state.ShuttingDown = false;
}

void DragDropUnitStop() {
    TUnitState& state = UnitState();
    if (state.StartCount == 0 || --state.StartCount > 0)
        return;
    state.ShuttingDown = true;
    state.Map.reset();
    state.Classes.reset();
}

TDataFormatMap& DataFormatMap() {
    return Instance(UnitState().Map, "TDataFormatMap");
}

TDataFormatClasses& DataFormatClasses() {
    return Instance(UnitState().Classes, "TDataFormatClasses");
}

void TDataFormatMap::Add(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass,
                         int32_t Priority, TDataDirections Directions) {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(), [&](const TConversionEntry& e) {
        return e.DataFormat->InheritsFrom(DataFormatClass) &&
               e.ClipboardFormat->InheritsFrom(ClipboardFormatClass);
    });
    TConversionEntry entry{DataFormatClass, ClipboardFormatClass, 0, Directions};
    if (found != FEntries.end()) {
        entry = *found;
        entry.Directions |= Directions;
        FEntries.erase(found);
    }
    if (Directions & ddWrite)
        entry.Priority = Priority;
    FEntries.push_back(entry);

    // The nearest earlier entry of the same class, never the first entry of the map.
    const ptrdiff_t last = ptrdiff_t(FEntries.size()) - 1;
    ptrdiff_t group = last - 1;
    while (group >= 1 && FEntries[size_t(group)].DataFormat != entry.DataFormat)
        --group;
    if (group < 1)
        return;
    // Within the group, in front of every entry of the same or a higher priority.
    ptrdiff_t before = group;
    while (before >= 0 && FEntries[size_t(before)].DataFormat == entry.DataFormat &&
           FEntries[size_t(before)].Priority >= entry.Priority)
        --before;
    std::rotate(FEntries.begin() + (before + 1), FEntries.begin() + last, FEntries.end());
}

bool TDataFormatClasses::Add(TDataFormatClass DataFormatClass) {
    if (Contains(DataFormatClass))
        return false;
    FClasses.push_back(DataFormatClass);
    return true;
}

bool TDataFormatClasses::Contains(TDataFormatClass DataFormatClass) const {
    return std::find(FClasses.begin(), FClasses.end(), DataFormatClass) != FClasses.end();
}

void RegisterDataConversion(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass,
                            int32_t Priority, TDataDirections Directions) {
    if (UnitState().ShuttingDown)
        return;
    DataFormatMap().Add(DataFormatClass, ClipboardFormatClass, Priority, Directions);
}

void RegisterDataFormatClass(TDataFormatClass DataFormatClass) {
    if (UnitState().ShuttingDown)
        return;
    if (DataFormatClasses().Add(DataFormatClass) && DataFormatClass->RegisterCompatibleFormats)
        DataFormatClass->RegisterCompatibleFormats();
}

void GetCompatibleFormats(TDataFormatClass DataFormatClass, TClipboardFormats& Formats,
                          TConversionSide Side) {
    Formats.Clear();
    const TDataDirections needed = Side == csSource ? ddWrite : ddRead;
    for (const TConversionEntry& entry : DataFormatMap().Entries()) {
        if (!entry.DataFormat->InheritsFrom(DataFormatClass) || !entry.ClipboardFormat->Create)
            continue;
        const TDataDirections directions =
            entry.Directions ? entry.Directions : entry.ClipboardFormat->Directions;
        if (directions & needed)
            Formats.Add(entry.ClipboardFormat->Create());
    }
}

// ---- drag detection ----------------------------------------------------------------------

namespace {

// What one watched message decides.
enum TDragDecision { ddUndecided, ddNoDrag, ddDrag };

TDragDecision HandleMessage(const TInputMessage& Message, const QRect& DragRect, uint32_t Start,
                            IDragStartInput& Input) {
    switch (Message.Kind) {
    case TInputMessage::imQuit:
        Input.RepostQuit(Message.ExitCode);
        return ddNoDrag;
    case TInputMessage::imCancelMode:
        return ddNoDrag;
    case TInputMessage::imKeyDown:
        return Message.Key == VK_ESCAPE ? ddNoDrag : ddUndecided;
    case TInputMessage::imMouseMove:
        if (!DragRect.contains(Message.ScreenPoint) && int32_t(Message.Time - Start) >= int32_t(DragDelayMs))
            return ddDrag;
        return ddUndecided;
    }
    return ddUndecided;
}

} // namespace

bool DetectDragStart(QWidget* Window, QPoint Point) {
    if (!Window)
        return false;
    IDragDropBackend& backend = DragDropBackend();
    // The screen rectangle is tested first, so a window at the screen's top-left corner takes
    // its points as screen points.
    QPoint screen = Point;
    const QRect screenRect(Window->mapToGlobal(QPoint(0, 0)), Window->size());
    if (!screenRect.contains(Point) && Window->rect().contains(Point))
        screen = Window->mapToGlobal(Point);
    if (!backend.DragButtonsDown())
        return false;
    const QSize distance = backend.DragDistance();
    const QRect dragRect(screen.x() - distance.width(), screen.y() - distance.height(), 2 * distance.width(),
                         2 * distance.height());
    const uint32_t start = backend.TickCount();
    std::unique_ptr<IDragStartInput> input = backend.CaptureForDragStart(Window);
    TDragDecision decision = ddUndecided;
    while (decision == ddUndecided && input->HasCapture()) {
        if (input->ButtonMessageWaiting())
            return false;
        TInputMessage message;
        if (input->TakeMessage(message))
            decision = HandleMessage(message, dragRect, start, *input);
        else if (input->HasCapture() && !input->WaitForInput(DragHoldTimeoutMs))
            decision = ddDrag; // resting on the press starts a drag
    }
    return decision == ddDrag;
}

// ---- names and effects -------------------------------------------------------------------

QString GetClipboardFormatNameStr(TClipFormat Id) {
    static const char* const standard[] = {
        "CF_TEXT",        "CF_BITMAP",      "CF_METAFILEPICT", "CF_SYLK",    "CF_DIF",   "CF_TIFF",
        "CF_OEMTEXT",     "CF_DIB",         "CF_PALETTE",      "CF_PENDATA", "CF_RIFF",  "CF_WAVE",
        "CF_UNICODETEXT", "CF_ENHMETAFILE", "CF_HDROP",        "CF_LOCALE",  "CF_DIBV5", "CF_MAX_XP",
    };
    if (Id >= 1 && Id <= 18)
        return QString::fromLatin1(standard[Id - 1]);
    switch (Id) {
    case CF_OWNERDISPLAY:
        return QStringLiteral("CF_OWNERDISPLAY");
    case CF_DSPTEXT:
        return QStringLiteral("CF_DSPTEXT");
    case CF_DSPBITMAP:
        return QStringLiteral("CF_DSPBITMAP");
    case CF_DSPMETAFILEPICT:
        return QStringLiteral("CF_DSPMETAFILEPICT");
    case CF_DSPENHMETAFILE:
        return QStringLiteral("CF_DSPENHMETAFILE");
    default:
        return GetClipboardFormatName(Id, 255);
    }
}

HRESULT CopyStgMedium(const TStgMedium& Source, TStgMedium& Dest) {
    return CopyMedium(Source, Dest);
}

uint32_t DragTypesToDropEffect(TDragTypes Types) {
    return Types.Bits() & 7u;
}

bool DropEffectToDragType(uint32_t Effect, TDragType& Type) {
    Type = dtCopy;
    if (Effect & DROPEFFECT_COPY)
        return true;
    if (Effect & DROPEFFECT_MOVE) {
        Type = dtMove;
        return true;
    }
    if (Effect & DROPEFFECT_LINK) {
        Type = dtLink;
        return true;
    }
    return false;
}

TDragResult DropEffectToDragResult(uint32_t Effect) {
    switch (Effect) {
    case DROPEFFECT_NONE:
        return drCancel;
    case DROPEFFECT_COPY:
        return drDropCopy;
    case DROPEFFECT_MOVE:
        return drDropMove;
    case DROPEFFECT_LINK:
        return drDropLink;
    default:
        return drUnknown;
    }
}

TShiftState KeysToShiftState(uint32_t KeyState) {
    TShiftState state = 0;
    if (KeyState & MK_SHIFT)
        state |= DragShift::Shift;
    if (KeyState & MK_CONTROL)
        state |= DragShift::Ctrl;
    if (KeyState & MK_LBUTTON)
        state |= DragShift::Left;
    if (KeyState & MK_RBUTTON)
        state |= DragShift::Right;
    if (KeyState & MK_MBUTTON)
        state |= DragShift::Middle;
    if (KeyState & MK_ALT)
        state |= DragShift::Alt;
    return state;
}

uint32_t ShiftStateToDropEffect(TShiftState ShiftState, uint32_t Allowed, bool FallBack) {
    const bool ctrl = (ShiftState & DragShift::Ctrl) != 0;
    const bool shift = (ShiftState & DragShift::Shift) != 0;
    const uint32_t wanted = ctrl && shift ? DROPEFFECT_LINK : ctrl ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    const uint32_t effect = wanted & Allowed;
    if (effect != 0 || !FallBack)
        return effect;
    for (uint32_t first : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (Allowed & first)
            return first;
    return DROPEFFECT_NONE;
}

QPoint ClientToWindow(QWidget* Window, QPoint Point) {
    const QPoint global = ClientWidget(Window)->mapToGlobal(Point);
    const QPoint outer =
        Window->isWindow() ? Window->frameGeometry().topLeft() : Window->mapToGlobal(QPoint(0, 0));
    return global - outer;
}
