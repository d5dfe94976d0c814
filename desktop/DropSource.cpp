// The drop source: the synchronous drag, its result, the data object operations and the
// clipboard, and the multi-format source over data formats.
#include "desktop/DropSource.h"

#include <QPainter>

#include <set>

TEnumFormatEtc::TEnumFormatEtc(const TClipboardFormats& Formats)
    : TFormatEtcEnumerator([&] {
          std::vector<TFormatEtc> records;
          for (const auto& format : Formats)
              records.push_back(format->FormatEtc());
          return records;
      }()) {}

TCustomDropSource::TCustomDropSource(QObject* Owner) : TDragDropComponent(Owner) {}

TCustomDropSource::~TCustomDropSource() {
    DoFlush();
}

void TCustomDropSource::SetImages(TDragImageList* Value) {
    FImages = Value;
    if (!FImages || FImageIndex >= FImages->Count())
        FImageIndex = -1;
}

void TCustomDropSource::SetImageIndex(int Value) {
    if (Value < 0 || !FImages || FImages->Count() == 0) {
        FImageIndex = -1;
        return;
    }
    if (Value < FImages->Count())
        FImageIndex = Value;
}

void TCustomDropSource::GetDataFormatConversions(TDataFormatClass DataFormatClass,
                                                 TClipboardFormats& Formats) {
    GetCompatibleFormats(DataFormatClass, Formats, csSource);
}

TDragResult TCustomDropSource::PerformDrag(bool Asynchronous) {
    if (FDragging)
        throw EDragDropError(QStringLiteral("A drag and drop operation is already in progress"));
    if (Asynchronous)
        throw EDragDropError(QStringLiteral("Failed to initiate asynchronouse drag and drop operation"));
    SetPerformedDropEffect(uint32_t(-1));
    FDragging = true;
    try {
        const TDragResult result = Execute();
        FDragging = false;
        return result;
    } catch (...) {
        FDragging = false;
        throw;
    }
}

TDragResult TCustomDropSource::Execute() {
    const uint32_t allowed = DragTypesToDropEffect(FDragTypes);
    TDragImage image;
    if (FShowImage)
        DoGetDragImage(image);
    SetInShellDragLoop(true);
    uint32_t effect = DROPEFFECT_NONE;
    HRESULT result;
    try {
        result = DragDropBackend().DoDragDrop(this, this, allowed, &effect, image, this);
    } catch (...) {
        SetInShellDragLoop(false);
        throw;
    }
    SetInShellDragLoop(false);

    TDragResult dragResult = drUnknown;
    if (result == E_OUTOFMEMORY)
        dragResult = drOutMemory;
    else if (result == DRAGDROP_S_DROP) {
        // A target that moved the data itself reports MOVE through the feedback formats.
        if (GetLogicalPerformedDropEffect() == DROPEFFECT_MOVE ||
            (effect != DROPEFFECT_MOVE && GetPerformedDropEffect() == DROPEFFECT_MOVE))
            dragResult = drDropMove;
        else
            dragResult = DropEffectToDragResult(effect & allowed);
    } else if (result == DRAGDROP_S_CANCEL)
        dragResult = drCancel;
    if (GetPerformedDropEffect() == uint32_t(-1))
        SetPerformedDropEffect(0);
    const bool optimized = dragResult == drDropMove &&
                           !(effect == DROPEFFECT_MOVE && GetPerformedDropEffect() == DROPEFFECT_MOVE);
    if (OnAfterDrop)
        OnAfterDrop(this, dragResult, optimized);
    return dragResult;
}

bool TCustomDropSource::DoGetDragImage(TDragImage& Image) {
    bool handled = false;
    if (OnGetDragImage)
        OnGetDragImage(this, Image, handled);
    if (handled)
        return true;
    if (!FImages || FImageIndex < 0 || FImageIndex >= FImages->Count())
        return false;
    const QPixmap& picture = FImages->Images(FImageIndex);
    QPixmap drawn(picture.size());
    drawn.fill(FImages->BkColor().isValid() ? FImages->BkColor() : QColor(Qt::transparent));
    QPainter(&drawn).drawPixmap(0, 0, picture);
    Image.Pixmap = drawn;
    Image.HotSpot = QPoint(FImageHotSpotX, FImageHotSpotY);
    return true;
}

HRESULT TCustomDropSource::QueryContinueDrag(bool EscapePressed, uint32_t KeyState) {
    return GuardedResult([&]() -> HRESULT {
        if (EscapePressed)
            return DRAGDROP_S_CANCEL;
        if (KeyState & (MK_LBUTTON | MK_RBUTTON))
            return S_OK;
        TDragType type = dtCopy;
        bool continueDrop = DropEffectToDragType(FFeedbackEffect, type) && FDragTypes.Contains(type);
        SetInShellDragLoop(false);
        if (continueDrop && OnDrop)
            OnDrop(this, type, continueDrop);
        return continueDrop ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
    });
}

HRESULT TCustomDropSource::GiveFeedback(uint32_t Effect) {
    return GuardedResult([&]() -> HRESULT {
        FFeedbackEffect = Effect;
        bool useDefaultCursors = true;
        if (OnFeedback)
            OnFeedback(this, Effect, useDefaultCursors);
        return useDefaultCursors ? DRAGDROP_S_USEDEFAULTCURSORS : S_OK;
    });
}

HRESULT TCustomDropSource::GetData(const TFormatEtc& Format, TStgMedium& Medium) {
    return GuardedResult([&]() -> HRESULT {
        ReleaseStgMedium(Medium);
        bool handled = false;
        if (OnGetData)
            OnGetData(this, Format, Medium, handled);
        if (handled)
            return S_OK;
        return HasFormat(Format) ? RenderData(Format, Medium) : DV_E_FORMATETC;
    });
}

HRESULT TCustomDropSource::QueryGetData(const TFormatEtc& Format) {
    return GuardedResult([&] { return HasFormat(Format) ? S_OK : DV_E_FORMATETC; });
}

HRESULT TCustomDropSource::SetData(const TFormatEtc& Format, TStgMedium& Medium, bool Release) {
    return GuardedResult([&]() -> HRESULT {
        // Our own reference to the medium; the caller's is dropped only when it was handed over.
        TStgMedium given = Medium;
        if (Release)
            ReleaseStgMedium(Medium);
        const HRESULT result = TakeData(Format, given);
        ReleaseStgMedium(given);
        return result;
    });
}

HRESULT TCustomDropSource::EnumFormatEtc(uint32_t Direction, std::unique_ptr<IEnumFormatEtc>& Enum) {
    return GuardedResult([&]() -> HRESULT {
        Enum = GetEnumFormatEtc(Direction);
        return Enum ? S_OK : E_NOTIMPL;
    });
}

HRESULT TCustomDropSource::RenderData(const TFormatEtc&, TStgMedium&) {
    return DV_E_FORMATETC;
}

HRESULT TCustomDropSource::TakeData(const TFormatEtc& Format, TStgMedium& Medium) {
    bool handled = false;
    if (OnSetData)
        OnSetData(this, Format, Medium, handled);
    return handled ? S_OK : E_NOTIMPL;
}

bool TCustomDropSource::HasFormat(const TFormatEtc&) {
    return false;
}

std::unique_ptr<IEnumFormatEtc> TCustomDropSource::GetEnumFormatEtc(uint32_t) {
    return nullptr;
}

bool TCustomDropSource::CopyToClipboard() {
    return Succeeded(DragDropBackend().SetClipboard(this));
}

bool TCustomDropSource::CutToClipboard() {
    SetPreferredDropEffect(DROPEFFECT_MOVE);
    return CopyToClipboard();
}

bool TCustomDropSource::CopyToClipboardAsCopy() {
    SetPreferredDropEffect(DROPEFFECT_COPY);
    return CopyToClipboard();
}

bool TCustomDropSource::FlushClipboard() {
    IDragDropBackend& backend = DragDropBackend();
    return backend.IsCurrentClipboard(this) == S_OK && Succeeded(backend.FlushClipboard());
}

bool TCustomDropSource::EmptyClipboard() {
    IDragDropBackend& backend = DragDropBackend();
    return backend.IsCurrentClipboard(this) == S_OK && Succeeded(backend.SetClipboard(nullptr));
}

void TCustomDropSource::DoFlush() {
    FlushClipboard();
}

void TCustomDropSource::DoOnPaste(TDragResult Action, bool DeleteOnPaste) {
    if (OnPaste)
        OnPaste(this, Action, DeleteOnPaste);
}

// ---- multi-format source -----------------------------------------------------------------

TCustomDropMultiSource::TCustomDropMultiSource(QObject* Owner) : TCustomDropSource(Owner) {
    DataFormats().OnAdd = [this](TCustomDataFormat* Format) {
        Format->OnChanging = [this](TCustomDataFormat*) {
            DataChanging();
        };
    };
    FFeedbackDataFormat = std::make_unique<TFeedbackDataFormat>(this);
    FRawDataFormat = std::make_unique<TRawDataFormat>(this);
}

TCustomDropMultiSource::~TCustomDropMultiSource() {
    DoFlush();
}

void TCustomDropMultiSource::DataChanging() {
    FlushClipboard();
}

HRESULT TCustomDropMultiSource::RenderData(const TFormatEtc& Format, TStgMedium& Medium) {
    ReleaseStgMedium(Medium);
    for (TCustomDataFormat* dataFormat : DataFormats()) {
        if (!dataFormat->HasData())
            continue;
        for (const auto& format : dataFormat->CompatibleFormats()) {
            if (!format->AcceptFormat(Format))
                continue;
            const bool rendered =
                dataFormat->AssignTo(*format) && format->HasData() && format->DoSetData(Format, Medium);
            format->Clear();
            if (rendered)
                return S_OK;
        }
    }
    return DV_E_FORMATETC;
}

HRESULT TCustomDropMultiSource::TakeData(const TFormatEtc& Format, TStgMedium& Medium) {
    for (TCustomDataFormat* dataFormat : DataFormats()) {
        for (const auto& format : dataFormat->CompatibleFormats()) {
            if (!format->AcceptFormat(Format))
                continue;
            TStgMedium copy = Medium;
            if (!format->GetDataFromMedium(copy) || !dataFormat->Assign(*format))
                continue;
            if (auto* paste = dynamic_cast<TPasteSucceededClipboardFormat*>(format.get()))
                DoOnPaste(DropEffectToDragResult(paste->Value()),
                          paste->Value() == DROPEFFECT_MOVE && GetPerformedDropEffect() == DROPEFFECT_MOVE);
            return S_OK;
        }
    }
    TRawClipboardFormat& raw = FRawDataFormat->AddFormat(Format);
    TStgMedium copy = Medium;
    return raw.GetDataFromMedium(copy) && FRawDataFormat->Assign(raw) ? S_OK : E_NOTIMPL;
}

bool TCustomDropMultiSource::HasFormat(const TFormatEtc& Format) {
    for (TCustomDataFormat* dataFormat : DataFormats())
        if (dataFormat->AcceptFormat(Format))
            return true;
    return false;
}

std::unique_ptr<IEnumFormatEtc> TCustomDropMultiSource::GetEnumFormatEtc(uint32_t Direction) {
    if (Direction != DATADIR_GET && Direction != DATADIR_SET)
        return nullptr;
    const TDataDirections wanted = Direction == DATADIR_GET ? ddRead : ddWrite;
    TClipboardFormats offered(nullptr, false);
    std::set<TClipFormat> seen;
    for (TCustomDataFormat* dataFormat : DataFormats()) {
        if (!dataFormat->HasData())
            continue;
        for (const auto& format : dataFormat->CompatibleFormats())
            if ((format->DataDirections() & wanted) && seen.insert(format->ClipboardFormat()).second)
                offered.Add(format);
    }
    return std::make_unique<TEnumFormatEtc>(offered);
}

uint32_t TCustomDropMultiSource::GetPerformedDropEffect() {
    return FFeedbackDataFormat->PerformedDropEffect();
}

uint32_t TCustomDropMultiSource::GetLogicalPerformedDropEffect() {
    return FFeedbackDataFormat->LogicalPerformedDropEffect();
}

void TCustomDropMultiSource::SetPerformedDropEffect(uint32_t Value) {
    FFeedbackDataFormat->SetPerformedDropEffect(Value);
}

uint32_t TCustomDropMultiSource::GetPreferredDropEffect() {
    return FFeedbackDataFormat->PreferredDropEffect();
}

void TCustomDropMultiSource::SetPreferredDropEffect(uint32_t Value) {
    FFeedbackDataFormat->SetPreferredDropEffect(Value);
}

bool TCustomDropMultiSource::GetInShellDragLoop() {
    return FFeedbackDataFormat->InShellDragLoop();
}

QUuid TCustomDropMultiSource::GetTargetCLSID() {
    return FFeedbackDataFormat->TargetCLSID();
}

void TCustomDropMultiSource::SetInShellDragLoop(bool Value) {
    FFeedbackDataFormat->SetInShellDragLoop(Value);
}
