// The data-transfer layer under drag and drop and the clipboard: result codes, clipboard format
// ids with a process-wide registry of format names, format and medium records, global memory
// blocks, streams, and the data object, drop source and drop target interfaces.
// Interface methods return result codes and never throw.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;

using HRESULT = int32_t;

constexpr HRESULT ResultCode(uint32_t Value) {
    return static_cast<HRESULT>(Value);
}
constexpr bool Succeeded(HRESULT Result) {
    return Result >= 0;
}
constexpr bool Failed(HRESULT Result) {
    return Result < 0;
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = ResultCode(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = ResultCode(0x80004002);
inline constexpr HRESULT E_POINTER = ResultCode(0x80004003);
inline constexpr HRESULT E_FAIL = ResultCode(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = ResultCode(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = ResultCode(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = ResultCode(0x80070057);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = ResultCode(0x80040003);
inline constexpr HRESULT DV_E_FORMATETC = ResultCode(0x80040064);
inline constexpr HRESULT DV_E_LINDEX = ResultCode(0x80040068);
inline constexpr HRESULT DV_E_TYMED = ResultCode(0x80040069);
inline constexpr HRESULT DV_E_CLIPFORMAT = ResultCode(0x8004006A);
inline constexpr HRESULT DV_E_DVASPECT = ResultCode(0x8004006B);
inline constexpr HRESULT DATA_S_SAMEFORMATETC = ResultCode(0x00040130);
inline constexpr HRESULT DRAGDROP_S_DROP = ResultCode(0x00040100);
inline constexpr HRESULT DRAGDROP_S_CANCEL = ResultCode(0x00040101);
inline constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = ResultCode(0x00040102);
inline constexpr HRESULT DRAGDROP_E_NOTREGISTERED = ResultCode(0x80040100);
inline constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = ResultCode(0x80040101);
inline constexpr HRESULT DRAGDROP_E_INVALIDHWND = ResultCode(0x80040102);
inline constexpr HRESULT STG_E_INVALIDFUNCTION = ResultCode(0x80030001);

// Standard clipboard format ids.
using TClipFormat = uint16_t;
inline constexpr TClipFormat CF_TEXT = 1;
inline constexpr TClipFormat CF_BITMAP = 2;
inline constexpr TClipFormat CF_METAFILEPICT = 3;
inline constexpr TClipFormat CF_SYLK = 4;
inline constexpr TClipFormat CF_DIF = 5;
inline constexpr TClipFormat CF_TIFF = 6;
inline constexpr TClipFormat CF_OEMTEXT = 7;
inline constexpr TClipFormat CF_DIB = 8;
inline constexpr TClipFormat CF_PALETTE = 9;
inline constexpr TClipFormat CF_PENDATA = 10;
inline constexpr TClipFormat CF_RIFF = 11;
inline constexpr TClipFormat CF_WAVE = 12;
inline constexpr TClipFormat CF_UNICODETEXT = 13;
inline constexpr TClipFormat CF_ENHMETAFILE = 14;
inline constexpr TClipFormat CF_HDROP = 15;
inline constexpr TClipFormat CF_LOCALE = 16;
inline constexpr TClipFormat CF_DIBV5 = 17;
inline constexpr TClipFormat CF_MAX_XP = 18;
inline constexpr TClipFormat CF_OWNERDISPLAY = 0x80;
inline constexpr TClipFormat CF_DSPTEXT = 0x81;
inline constexpr TClipFormat CF_DSPBITMAP = 0x82;
inline constexpr TClipFormat CF_DSPMETAFILEPICT = 0x83;
inline constexpr TClipFormat CF_DSPENHMETAFILE = 0x8E;
// Ids handed out for registered names.
inline constexpr TClipFormat FirstRegisteredFormat = 0xC000;

// Medium kinds, as bits of a medium mask.
inline constexpr uint32_t TYMED_NULL = 0;
inline constexpr uint32_t TYMED_HGLOBAL = 1;
inline constexpr uint32_t TYMED_FILE = 2;
inline constexpr uint32_t TYMED_ISTREAM = 4;
inline constexpr uint32_t TYMED_ISTORAGE = 8;
inline constexpr uint32_t TYMED_GDI = 16;
inline constexpr uint32_t TYMED_MFPICT = 32;
inline constexpr uint32_t TYMED_ENHMF = 64;
// A request for any medium.
inline constexpr uint32_t TYMED_ANY = 0xFFFFFFFF;

inline constexpr uint32_t DVASPECT_CONTENT = 1;
inline constexpr uint32_t DATADIR_GET = 1;
inline constexpr uint32_t DATADIR_SET = 2;

inline constexpr uint32_t DROPEFFECT_NONE = 0;
inline constexpr uint32_t DROPEFFECT_COPY = 1;
inline constexpr uint32_t DROPEFFECT_MOVE = 2;
inline constexpr uint32_t DROPEFFECT_LINK = 4;
inline constexpr uint32_t DROPEFFECT_SCROLL = 0x80000000;

// Key state bits of the drag interfaces.
inline constexpr uint32_t MK_LBUTTON = 0x01;
inline constexpr uint32_t MK_RBUTTON = 0x02;
inline constexpr uint32_t MK_SHIFT = 0x04;
inline constexpr uint32_t MK_CONTROL = 0x08;
inline constexpr uint32_t MK_MBUTTON = 0x10;
inline constexpr uint32_t MK_ALT = 0x20;

inline constexpr uint32_t STATFLAG_DEFAULT = 0;
inline constexpr uint32_t STATFLAG_NONAME = 1;
inline constexpr uint32_t STREAM_SEEK_SET = 0;
inline constexpr uint32_t STREAM_SEEK_CUR = 1;
inline constexpr uint32_t STREAM_SEEK_END = 2;

// One format request: format id, target device (always none here), aspect, index, media.
struct TFormatEtc {
    TClipFormat cfFormat = 0;
    const void* ptd = nullptr;
    uint32_t dwAspect = DVASPECT_CONTENT;
    int32_t lindex = -1;
    uint32_t tymed = TYMED_NULL;

    bool operator==(const TFormatEtc&) const = default;
};

// A movable global memory block; its size is its byte count.
struct TGlobalMemory {
    QByteArray Bytes;
};
using HGLOBAL = std::shared_ptr<TGlobalMemory>;

// A zero-filled block of Size bytes (an empty block for Size 0 or less).
HGLOBAL GlobalAlloc(qsizetype Size);
qsizetype GlobalSize(const HGLOBAL& Block);

struct TStatStg {
    QString pwcsName;
    uint64_t cbSize = 0;
};

class IStream {
public:
    virtual ~IStream() = default;
    virtual HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Done) = 0;
    virtual HRESULT Write(const void* Buffer, uint32_t Count, uint32_t* Done) = 0;
    virtual HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) = 0;
    virtual HRESULT SetSize(uint64_t Size) = 0;
    // Count UINT64_MAX (or any value with the top bit set) means "all".
    virtual HRESULT CopyTo(IStream& Dest, uint64_t Count, uint64_t* Read, uint64_t* Written) = 0;
    virtual HRESULT Stat(TStatStg& Stat, uint32_t Flags) = 0;
};

// A stream over a device, as the toolkit's stream classes are wrapped: reads and writes at the
// device's position, Stat names the device's object name unless asked not to.
class TStreamAdapter : public IStream {
public:
    // Owned: the device is deleted with the adapter.
    explicit TStreamAdapter(std::unique_ptr<QIODevice> Device);
    ~TStreamAdapter() override;

    QIODevice& Device() const { return *FDevice; }

    HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Done) override;
    HRESULT Write(const void* Buffer, uint32_t Count, uint32_t* Done) override;
    HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) override;
    HRESULT SetSize(uint64_t Size) override;
    HRESULT CopyTo(IStream& Dest, uint64_t Count, uint64_t* Read, uint64_t* Written) override;
    HRESULT Stat(TStatStg& Stat, uint32_t Flags) override;

private:
    std::unique_ptr<QIODevice> FDevice;
};

// A stream over a global block (kept alive by the stream), positioned at its start.
std::unique_ptr<QIODevice> OpenGlobalMemory(const HGLOBAL& Block);

// A filled medium: a global block or a stream. Releasing drops the medium's references.
struct TStgMedium {
    uint32_t tymed = TYMED_NULL;
    HGLOBAL hGlobal;
    std::shared_ptr<IStream> pstm;
};
void ReleaseStgMedium(TStgMedium& Medium);
// A global block is copied; a stream is shared, as a copied stream medium refers to the same
// stream. E_INVALIDARG for an empty medium, DV_E_TYMED for other kinds.
HRESULT CopyMedium(const TStgMedium& Source, TStgMedium& Dest);

// The bytes of a medium: a block whole, or a stream from its start to its end.
QByteArray MediumBytes(const TStgMedium& Medium);

class IEnumFormatEtc {
public:
    virtual ~IEnumFormatEtc() = default;
    virtual HRESULT Next(uint32_t Count, TFormatEtc* Formats, uint32_t* Fetched) = 0;
    virtual HRESULT Skip(uint32_t Count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(std::unique_ptr<IEnumFormatEtc>& Enum) = 0;
};

// Walks a private copy of a list of format records.
class TFormatEtcEnumerator : public IEnumFormatEtc {
public:
    explicit TFormatEtcEnumerator(std::vector<TFormatEtc> Formats, size_t Index = 0);

    // S_FALSE when fewer than asked were left.
    HRESULT Next(uint32_t Count, TFormatEtc* Formats, uint32_t* Fetched) override;
    // S_FALSE (index at the end) when it passes the end.
    HRESULT Skip(uint32_t Count) override;
    HRESULT Reset() override;
    HRESULT Clone(std::unique_ptr<IEnumFormatEtc>& Enum) override;

private:
    std::vector<TFormatEtc> FFormats;
    size_t FIndex;
};

class IDataObject {
public:
    virtual ~IDataObject() = default;
    virtual HRESULT GetData(const TFormatEtc& Format, TStgMedium& Medium) = 0;
    virtual HRESULT GetDataHere(const TFormatEtc& Format, TStgMedium& Medium) = 0;
    virtual HRESULT QueryGetData(const TFormatEtc& Format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const TFormatEtc& Format, TFormatEtc& Canonical) = 0;
    // Release true hands the medium over; false lets the callee copy what it keeps.
    virtual HRESULT SetData(const TFormatEtc& Format, TStgMedium& Medium, bool Release) = 0;
    virtual HRESULT EnumFormatEtc(uint32_t Direction, std::unique_ptr<IEnumFormatEtc>& Enum) = 0;
    virtual HRESULT DAdvise(const TFormatEtc& Format, uint32_t Flags, uint32_t* Connection) = 0;
    virtual HRESULT DUnadvise(uint32_t Connection) = 0;
    virtual HRESULT EnumDAdvise() = 0;
};

class IDropSource {
public:
    virtual ~IDropSource() = default;
    // DRAGDROP_S_CANCEL, DRAGDROP_S_DROP or S_OK (go on).
    virtual HRESULT QueryContinueDrag(bool EscapePressed, uint32_t KeyState) = 0;
    // DRAGDROP_S_USEDEFAULTCURSORS or S_OK.
    virtual HRESULT GiveFeedback(uint32_t Effect) = 0;
};

class IDropTarget {
public:
    virtual ~IDropTarget() = default;
    virtual HRESULT DragEnter(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint,
                              uint32_t* Effect) = 0;
    virtual HRESULT DragOver(uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint,
                         uint32_t* Effect) = 0;
};

// The data object operations nothing here serves: data into a given medium, other target
// devices and advise sinks.
class TDataObjectBase : public IDataObject {
public:
    HRESULT GetDataHere(const TFormatEtc& Format, TStgMedium& Medium) override;
    HRESULT GetCanonicalFormatEtc(const TFormatEtc& Format, TFormatEtc& Canonical) override;
    HRESULT DAdvise(const TFormatEtc& Format, uint32_t Flags, uint32_t* Connection) override;
    HRESULT DUnadvise(uint32_t Connection) override;
    HRESULT EnumDAdvise() override;
};

// The formats a data object lists for a direction, taken one at a time as long as the
// enumerator delivers exactly one (and never more than there are format ids).
std::vector<TFormatEtc> EnumeratedFormats(IDataObject& Object, uint32_t Direction);

// A data object of fixed media, as a flushed clipboard or a foreign program offers them: GetData
// hands out copies in the media asked for (global memory or a stream over a copy), SetData
// stores what it is given (a copy unless Release).
class TStaticDataObject : public TDataObjectBase {
public:
    // Adds or replaces the bytes of one format.
    void Put(TClipFormat Format, const QByteArray& Bytes, uint32_t Media = TYMED_HGLOBAL);
    bool Has(TClipFormat Format) const;
    QByteArray Bytes(TClipFormat Format) const;
    // The formats in the order they were put.
    std::vector<TFormatEtc> Formats() const;
    // Formats given through SetData, in order (also those already present).
    const std::vector<TClipFormat>& Written() const { return FWritten; }
    // SetData answers E_NOTIMPL while read-only.
    void SetReadOnly(bool Value) { FReadOnly = Value; }

    HRESULT GetData(const TFormatEtc& Format, TStgMedium& Medium) override;
    HRESULT QueryGetData(const TFormatEtc& Format) override;
    HRESULT SetData(const TFormatEtc& Format, TStgMedium& Medium, bool Release) override;
    HRESULT EnumFormatEtc(uint32_t Direction, std::unique_ptr<IEnumFormatEtc>& Enum) override;

private:
    struct TEntry {
        TClipFormat Format;
        QByteArray Bytes;
        uint32_t Media;
    };
    const TEntry* Find(TClipFormat Format) const;

    std::vector<TEntry> FEntries;
    std::vector<TClipFormat> FWritten;
    bool FReadOnly = false;
};

// Every format a data object offers for reading, rendered now into a fixed data object (read
// as global memory or a stream, kept as bytes).
std::shared_ptr<TStaticDataObject> SnapshotDataObject(IDataObject& Source);

// The process-wide registry of format names: a name (compared without regard to case) gets one
// id from 0xC000 on for the whole process; an empty name gets 0.
TClipFormat RegisterClipboardFormat(const QString& Name);
// The registered name of an id, cut to MaxChars characters; empty for an id without a name.
QString GetClipboardFormatName(TClipFormat Format, int MaxChars = 255);
