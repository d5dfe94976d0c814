// The component that starts a drag and serves its data while it runs: the drop source and data
// object of one drag (synchronous, on the GUI thread), its clipboard operations, its drag
// picture, and the multi-format source that carries data formats, the feedback and raw formats.
#pragma once

#include "desktop/DragDrop.h"
#include "desktop/DragDropBackend.h"
#include "desktop/DragDropFormats.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QUuid>

#include <functional>
#include <memory>

// Pictures for the drag image, with the colour behind them.
class TDragImageList : public QObject {
    Q_OBJECT
public:
    explicit TDragImageList(QObject* Owner = nullptr) : QObject(Owner) {}

    int Count() const { return int(FImages.size()); }
    const QPixmap& Images(int Index) const { return FImages[Index]; }
    void Add(const QPixmap& Image) { FImages.append(Image); }
    void Clear() { FImages.clear(); }
    // An invalid colour paints nothing behind the picture.
    QColor BkColor() const { return FBkColor; }
    void SetBkColor(const QColor& Value) { FBkColor = Value; }

private:
    QList<QPixmap> FImages;
    QColor FBkColor;
};

// A private copy of a list of clipboard formats, walked by index.
class TEnumFormatEtc : public TFormatEtcEnumerator {
public:
    explicit TEnumFormatEtc(const TClipboardFormats& Formats);
};

using TFeedbackEvent = std::function<void(QObject* Sender, uint32_t Effect, bool& UseDefaultCursors)>;
using TDropEvent = std::function<void(QObject* Sender, TDragType DragType, bool& ContinueDrop)>;
using TAfterDropEvent = std::function<void(QObject* Sender, TDragResult DragResult, bool Optimized)>;
using TDropDataEvent =
    std::function<void(QObject* Sender, const TFormatEtc& FormatEtc, TStgMedium& Medium, bool& Handled)>;
using TPasteEvent = std::function<void(QObject* Sender, TDragResult Action, bool DeleteOnPaste)>;
using TGetDragImageEvent = std::function<void(QObject* Sender, TDragImage& Image, bool& Handled)>;

class TCustomDropSource : public TDragDropComponent, public IDropSource, public TDataObjectBase {
    Q_OBJECT
public:
    explicit TCustomDropSource(QObject* Owner = nullptr);
    // Flushes the clipboard first, so what was copied stays there.
    ~TCustomDropSource() override;

    TDragTypes DragTypes() const { return FDragTypes; }
    void SetDragTypes(TDragTypes Value) { FDragTypes = Value; }
    bool ShowImage() const { return FShowImage; }
    void SetShowImage(bool Value) { FShowImage = Value; }
    int ImageHotSpotX() const { return FImageHotSpotX; }
    void SetImageHotSpotX(int Value) { FImageHotSpotX = Value; }
    int ImageHotSpotY() const { return FImageHotSpotY; }
    void SetImageHotSpotY(int Value) { FImageHotSpotY = Value; }
    // Kept for its published default; there is no transfer thread.
    bool AllowAsyncTransfer() const { return FAllowAsyncTransfer; }
    void SetAllowAsyncTransfer(bool Value) { FAllowAsyncTransfer = Value; }

    // A list that does not hold the index sets ImageIndex to -1. The list is not owned; when it
    // is destroyed Images becomes none.
    TDragImageList* Images() const { return FImages; }
    void SetImages(TDragImageList* Value);
    int ImageIndex() const { return FImageIndex; }
    // Below 0, or without pictures, -1; at or past the count the old index stays.
    void SetImageIndex(int Value);

    TFeedbackEvent OnFeedback;
    TDropEvent OnDrop;
    TAfterDropEvent OnAfterDrop;
    TDropDataEvent OnGetData;
    TDropDataEvent OnSetData;
    TPasteEvent OnPaste;
    TGetDragImageEvent OnGetDragImage;

    void GetDataFormatConversions(TDataFormatClass DataFormatClass, TClipboardFormats& Formats) override;

    // Runs a synchronous drag and returns how it ended. Raises "A drag and drop operation is
    // already in progress" during a drag, and "Failed to initiate asynchronouse drag and drop
    // operation" when asked for an asynchronous one (there is no transfer thread).
    virtual TDragResult PerformDrag(bool Asynchronous = false);
    bool Dragging() const { return FDragging; }

    virtual bool CopyToClipboard();
    // With the preferred effect MOVE, or COPY.
    virtual bool CutToClipboard();
    virtual bool CopyToClipboardAsCopy();
    // Only while our data object is the clipboard's.
    virtual bool FlushClipboard();
    virtual bool EmptyClipboard();

    virtual uint32_t GetPerformedDropEffect() { return 0; }
    virtual uint32_t GetLogicalPerformedDropEffect() { return 0; }
    virtual void SetPerformedDropEffect(uint32_t) {}
    virtual uint32_t GetPreferredDropEffect() { return 0; }
    virtual void SetPreferredDropEffect(uint32_t) {}
    virtual bool GetInShellDragLoop() { return false; }
    virtual QUuid GetTargetCLSID() { return QUuid(); }
    virtual void SetInShellDragLoop(bool) {}

    // IDropSource
    HRESULT QueryContinueDrag(bool EscapePressed, uint32_t KeyState) override;
    HRESULT GiveFeedback(uint32_t Effect) override;

    // IDataObject
    HRESULT GetData(const TFormatEtc& Format, TStgMedium& Medium) override;
    HRESULT QueryGetData(const TFormatEtc& Format) override;
    HRESULT SetData(const TFormatEtc& Format, TStgMedium& Medium, bool Release) override;
    HRESULT EnumFormatEtc(uint32_t Direction, std::unique_ptr<IEnumFormatEtc>& Enum) override;

protected:
    virtual HRESULT RenderData(const TFormatEtc& Format, TStgMedium& Medium);
    // Base: OnSetData; S_OK when handled, else E_NOTIMPL.
    virtual HRESULT TakeData(const TFormatEtc& Format, TStgMedium& Medium);
    virtual bool HasFormat(const TFormatEtc& Format);
    // None for a direction this source does not serve.
    virtual std::unique_ptr<IEnumFormatEtc> GetEnumFormatEtc(uint32_t Direction);
    // The synchronous drag: allowed effects from DragTypes, the drag image, the backend's drag,
    // the result mapping and OnAfterDrop.
    virtual TDragResult Execute();
    virtual void DoFlush();
    virtual void DoOnPaste(TDragResult Action, bool DeleteOnPaste);
    // OnGetDragImage, else the picture at ImageIndex on the list's colour with the hot spot.
    virtual bool DoGetDragImage(TDragImage& Image);

private:
    TDragTypes FDragTypes{dtCopy};
    bool FShowImage = false;
    int FImageHotSpotX = 16;
    int FImageHotSpotY = 16;
    bool FAllowAsyncTransfer = false;
    QPointer<TDragImageList> FImages;
    int FImageIndex = -1;
    uint32_t FFeedbackEffect = 0;
    bool FDragging = false;
};

// A source with a list of data formats, the feedback format and the raw format (first in the
// list, in that order).
class TCustomDropMultiSource : public TCustomDropSource {
    Q_OBJECT
public:
    explicit TCustomDropMultiSource(QObject* Owner = nullptr);
    ~TCustomDropMultiSource() override;

    TFeedbackDataFormat& FeedbackDataFormat() { return *FFeedbackDataFormat; }
    TRawDataFormat& RawDataFormat() { return *FRawDataFormat; }

    uint32_t GetPerformedDropEffect() override;
    uint32_t GetLogicalPerformedDropEffect() override;
    void SetPerformedDropEffect(uint32_t Value) override;
    uint32_t GetPreferredDropEffect() override;
    void SetPreferredDropEffect(uint32_t Value) override;
    bool GetInShellDragLoop() override;
    QUuid GetTargetCLSID() override;
    void SetInShellDragLoop(bool Value) override;

protected:
    // The first data format holding data whose clipboard format accepts the request and
    // renders it.
    HRESULT RenderData(const TFormatEtc& Format, TStgMedium& Medium) override;
    // A known format is taken by its data format (a paste report fires OnPaste); anything else
    // is kept by the raw format.
    HRESULT TakeData(const TFormatEtc& Format, TStgMedium& Medium) override;
    // Some clipboard format of some data format accepts the request (held data not needed).
    bool HasFormat(const TFormatEtc& Format) override;
    // Read formats (get) or write formats (set) of the data formats holding data, each id once.
    std::unique_ptr<IEnumFormatEtc> GetEnumFormatEtc(uint32_t Direction) override;

private:
    // A change of the data freezes what the clipboard holds.
    void DataChanging();

    TUnitReference FFormatsUnit{DragDropFormatsUnitStart, DragDropFormatsUnitStop};
    std::unique_ptr<TFeedbackDataFormat> FFeedbackDataFormat;
    std::unique_ptr<TRawDataFormat> FRawDataFormat;
};
