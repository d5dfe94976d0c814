// The data-transfer layer: global blocks, stream adapters, media, the format enumerator, the
// fixed data object and the registry of format names.
#include "desktop/DataTransfer.h"

#include <QBuffer>
#include <QHash>

#include <algorithm>
#include <mutex>

namespace {

// A buffer over a global block that keeps the block alive.
class TGlobalBuffer : public QBuffer {
public:
    explicit TGlobalBuffer(HGLOBAL Block) : QBuffer(&Block->Bytes), FBlock(std::move(Block)) {}

private:
    HGLOBAL FBlock;
};

bool AllCount(uint64_t Count) {
    return (Count >> 63) != 0;
}

} // namespace

HGLOBAL GlobalAlloc(qsizetype Size) {
    auto block = std::make_shared<TGlobalMemory>();
    if (Size > 0)
        block->Bytes = QByteArray(Size, '\0');
    return block;
}

qsizetype GlobalSize(const HGLOBAL& Block) {
    return Block ? Block->Bytes.size() : 0;
}

std::unique_ptr<QIODevice> OpenGlobalMemory(const HGLOBAL& Block) {
    auto buffer = std::make_unique<TGlobalBuffer>(Block);
    buffer->open(QIODevice::ReadWrite);
    return buffer;
}

TStreamAdapter::TStreamAdapter(std::unique_ptr<QIODevice> Device) : FDevice(std::move(Device)) {}

TStreamAdapter::~TStreamAdapter() = default;

HRESULT TStreamAdapter::Read(void* Buffer, uint32_t Count, uint32_t* Done) {
    const qint64 got = FDevice->read(static_cast<char*>(Buffer), Count);
    if (Done)
        *Done = got > 0 ? static_cast<uint32_t>(got) : 0;
    return got < 0 ? S_FALSE : S_OK;
}

HRESULT TStreamAdapter::Write(const void* Buffer, uint32_t Count, uint32_t* Done) {
    const qint64 put = FDevice->write(static_cast<const char*>(Buffer), Count);
    if (Done)
        *Done = put > 0 ? static_cast<uint32_t>(put) : 0;
    return put < 0 ? STG_E_INVALIDFUNCTION : S_OK;
}

HRESULT TStreamAdapter::Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) {
    qint64 base = 0;
    if (Origin == STREAM_SEEK_CUR)
        base = FDevice->pos();
    else if (Origin == STREAM_SEEK_END)
        base = FDevice->size();
    else if (Origin != STREAM_SEEK_SET)
        return STG_E_INVALIDFUNCTION;
    const qint64 target = base + Move;
    if (target < 0 || !FDevice->seek(target))
        return STG_E_INVALIDFUNCTION;
    if (NewPosition)
        *NewPosition = static_cast<uint64_t>(target);
    return S_OK;
}

HRESULT TStreamAdapter::SetSize(uint64_t Size) {
    auto* buffer = qobject_cast<QBuffer*>(FDevice.get());
    if (!buffer)
        return E_NOTIMPL;
    buffer->buffer().resize(static_cast<qsizetype>(Size));
    return S_OK;
}

HRESULT TStreamAdapter::CopyTo(IStream& Dest, uint64_t Count, uint64_t* Read, uint64_t* Written) {
    const QByteArray bytes = FDevice->read(AllCount(Count) ? FDevice->bytesAvailable() : qint64(Count));
    uint32_t put = 0;
    const HRESULT result = Dest.Write(bytes.constData(), static_cast<uint32_t>(bytes.size()), &put);
    if (Read)
        *Read = static_cast<uint64_t>(bytes.size());
    if (Written)
        *Written = put;
    return result;
}

HRESULT TStreamAdapter::Stat(TStatStg& Stat, uint32_t Flags) {
    Stat.cbSize = static_cast<uint64_t>(std::max<qint64>(0, FDevice->size()));
    Stat.pwcsName = (Flags & STATFLAG_NONAME) ? QString() : FDevice->objectName();
    return S_OK;
}

void ReleaseStgMedium(TStgMedium& Medium) {
    Medium.hGlobal.reset();
    Medium.pstm.reset();
    Medium.tymed = TYMED_NULL;
}

HRESULT CopyMedium(const TStgMedium& Source, TStgMedium& Dest) {
    ReleaseStgMedium(Dest);
    if (Source.tymed == TYMED_HGLOBAL && Source.hGlobal) {
        Dest.tymed = TYMED_HGLOBAL;
        Dest.hGlobal = std::make_shared<TGlobalMemory>(*Source.hGlobal);
        return S_OK;
    }
    if (Source.tymed == TYMED_ISTREAM && Source.pstm) {
        Dest.tymed = TYMED_ISTREAM;
        Dest.pstm = Source.pstm;
        return S_OK;
    }
    return Source.tymed == TYMED_NULL ? E_INVALIDARG : DV_E_TYMED;
}

QByteArray MediumBytes(const TStgMedium& Medium) {
    if (Medium.tymed == TYMED_HGLOBAL && Medium.hGlobal)
        return Medium.hGlobal->Bytes;
    if (Medium.tymed != TYMED_ISTREAM || !Medium.pstm)
        return QByteArray();
    if (Failed(Medium.pstm->Seek(0, STREAM_SEEK_SET, nullptr)))
        return QByteArray();
    QByteArray bytes;
    char piece[65536];
    for (;;) {
        uint32_t got = 0;
        if (Failed(Medium.pstm->Read(piece, sizeof piece, &got)) || got == 0)
            return bytes;
        bytes.append(piece, got);
    }
}

TFormatEtcEnumerator::TFormatEtcEnumerator(std::vector<TFormatEtc> Formats, size_t Index)
    : FFormats(std::move(Formats)), FIndex(std::min(Index, FFormats.size())) {}

HRESULT TFormatEtcEnumerator::Next(uint32_t Count, TFormatEtc* Formats, uint32_t* Fetched) {
    uint32_t done = 0;
    while (done < Count && FIndex < FFormats.size())
        Formats[done++] = FFormats[FIndex++];
    if (Fetched)
        *Fetched = done;
    return done == Count ? S_OK : S_FALSE;
}

HRESULT TFormatEtcEnumerator::Skip(uint32_t Count) {
    if (Count > FFormats.size() - FIndex) {
        FIndex = FFormats.size();
        return S_FALSE;
    }
    FIndex += Count;
    return S_OK;
}

HRESULT TFormatEtcEnumerator::Reset() {
    FIndex = 0;
    return S_OK;
}

HRESULT TFormatEtcEnumerator::Clone(std::unique_ptr<IEnumFormatEtc>& Enum) {
    Enum = std::make_unique<TFormatEtcEnumerator>(FFormats, FIndex);
    return S_OK;
}

void TStaticDataObject::Put(TClipFormat Format, const QByteArray& Bytes, uint32_t Media) {
    for (TEntry& entry : FEntries)
        if (entry.Format == Format) {
            entry.Bytes = Bytes;
            entry.Media = Media;
            return;
        }
    FEntries.push_back({Format, Bytes, Media});
}

const TStaticDataObject::TEntry* TStaticDataObject::Find(TClipFormat Format) const {
    for (const TEntry& entry : FEntries)
        if (entry.Format == Format)
            return &entry;
    return nullptr;
}

bool TStaticDataObject::Has(TClipFormat Format) const {
    return Find(Format) != nullptr;
}

QByteArray TStaticDataObject::Bytes(TClipFormat Format) const {
    const TEntry* entry = Find(Format);
    return entry ? entry->Bytes : QByteArray();
}

std::vector<TFormatEtc> TStaticDataObject::Formats() const {
    std::vector<TFormatEtc> formats;
    for (const TEntry& entry : FEntries)
        formats.push_back({entry.Format, nullptr, DVASPECT_CONTENT, -1, entry.Media});
    return formats;
}

HRESULT TStaticDataObject::QueryGetData(const TFormatEtc& Format) {
    const TEntry* entry = Find(Format.cfFormat);
    if (!entry)
        return DV_E_FORMATETC;
    if (Format.dwAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    return (Format.tymed & entry->Media) != 0 ? S_OK : DV_E_TYMED;
}

HRESULT TStaticDataObject::GetData(const TFormatEtc& Format, TStgMedium& Medium) {
    ReleaseStgMedium(Medium);
    const HRESULT query = QueryGetData(Format);
    if (query != S_OK)
        return query;
    const TEntry& entry = *Find(Format.cfFormat);
    const uint32_t media = Format.tymed & entry.Media;
    HGLOBAL block = std::make_shared<TGlobalMemory>(TGlobalMemory{entry.Bytes});
    if (media & TYMED_HGLOBAL) {
        Medium.tymed = TYMED_HGLOBAL;
        Medium.hGlobal = std::move(block);
        return S_OK;
    }
    Medium.tymed = TYMED_ISTREAM;
    Medium.pstm = std::make_shared<TStreamAdapter>(OpenGlobalMemory(block));
    return S_OK;
}

HRESULT TStaticDataObject::SetData(const TFormatEtc& Format, TStgMedium& Medium, bool Release) {
    if (FReadOnly)
        return E_NOTIMPL;
    if (Medium.tymed != TYMED_HGLOBAL && Medium.tymed != TYMED_ISTREAM)
        return DV_E_TYMED;
    Put(Format.cfFormat, MediumBytes(Medium));
    FWritten.push_back(Format.cfFormat);
    if (Release)
        ReleaseStgMedium(Medium);
    return S_OK;
}

HRESULT TStaticDataObject::EnumFormatEtc(uint32_t Direction, std::unique_ptr<IEnumFormatEtc>& Enum) {
    if (Direction != DATADIR_GET)
        return E_NOTIMPL;
    Enum = std::make_unique<TFormatEtcEnumerator>(Formats());
    return S_OK;
}

HRESULT TDataObjectBase::GetDataHere(const TFormatEtc&, TStgMedium&) {
    return E_NOTIMPL;
}

HRESULT TDataObjectBase::GetCanonicalFormatEtc(const TFormatEtc& Format, TFormatEtc& Canonical) {
    Canonical = Format;
    Canonical.ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TDataObjectBase::DAdvise(const TFormatEtc&, uint32_t, uint32_t*) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TDataObjectBase::DUnadvise(uint32_t) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TDataObjectBase::EnumDAdvise() {
    return OLE_E_ADVISENOTSUPPORTED;
}

std::vector<TFormatEtc> EnumeratedFormats(IDataObject& Object, uint32_t Direction) {
    std::vector<TFormatEtc> formats;
    std::unique_ptr<IEnumFormatEtc> enumerator;
    if (Failed(Object.EnumFormatEtc(Direction, enumerator)) || !enumerator)
        return formats;
    TFormatEtc format;
    uint32_t fetched = 0;
    while (formats.size() < 0x10000 && enumerator->Next(1, &format, &fetched) == S_OK && fetched == 1)
        formats.push_back(format);
    return formats;
}

std::shared_ptr<TStaticDataObject> SnapshotDataObject(IDataObject& Source) {
    auto snapshot = std::make_shared<TStaticDataObject>();
    for (const TFormatEtc& format : EnumeratedFormats(Source, DATADIR_GET)) {
        TFormatEtc request = format;
        request.tymed = format.tymed & (TYMED_HGLOBAL | TYMED_ISTREAM);
        TStgMedium medium;
        if (request.tymed != 0 && !snapshot->Has(format.cfFormat) &&
            Succeeded(Source.GetData(request, medium)))
            snapshot->Put(format.cfFormat, MediumBytes(medium));
    }
    return snapshot;
}

namespace {

struct TFormatNames {
    std::mutex Lock;
    QHash<QString, TClipFormat> ByName; // folded name to id
    std::vector<QString> Names;         // index = id - 0xC000
};

TFormatNames& FormatNames() {
    static TFormatNames names;
    return names;
}

} // namespace

TClipFormat RegisterClipboardFormat(const QString& Name) {
    if (Name.isEmpty())
        return 0;
    TFormatNames& names = FormatNames();
    std::lock_guard guard(names.Lock);
    const QString key = Name.toCaseFolded();
    const auto found = names.ByName.constFind(key);
    if (found != names.ByName.constEnd())
        return found.value();
    if (names.Names.size() >= size_t(0x10000 - FirstRegisteredFormat))
        return 0;
    const auto id = static_cast<TClipFormat>(FirstRegisteredFormat + names.Names.size());
    names.Names.push_back(Name);
    names.ByName.insert(key, id);
    return id;
}

QString GetClipboardFormatName(TClipFormat Format, int MaxChars) {
    if (Format < FirstRegisteredFormat)
        return QString();
    TFormatNames& names = FormatNames();
    std::lock_guard guard(names.Lock);
    const size_t index = Format - FirstRegisteredFormat;
    return index < names.Names.size() ? names.Names[index].left(std::max(0, MaxChars)) : QString();
}
