// Block, string, line-list, 32-bit and GUID clipboard formats, the feedback formats and the
// stream, feedback and raw data formats.
#include "desktop/DragDropFormats.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

const TClipboardFormatClassInfo TCustomSimpleClipboardFormat::ClassInfo{
    "TCustomSimpleClipboardFormat", &TClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo TCustomAnsiStringClipboardFormat::ClassInfo{
    "TCustomAnsiStringClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo TCustomStringListClipboardFormat::ClassInfo{
    "TCustomStringListClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo TCustomDWORDClipboardFormat::ClassInfo{
    "TCustomDWORDClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo TPreferredDropEffectClipboardFormat::ClassInfo{
    "TPreferredDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TPreferredDropEffectClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TPerformedDropEffectClipboardFormat::ClassInfo{
    "TPerformedDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TPerformedDropEffectClipboardFormat>, ddWrite};
const TClipboardFormatClassInfo TLogicalPerformedDropEffectClipboardFormat::ClassInfo{
    "TLogicalPerformedDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TLogicalPerformedDropEffectClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TPasteSucceededClipboardFormat::ClassInfo{
    "TPasteSucceededClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TPasteSucceededClipboardFormat>, ddWrite};
const TClipboardFormatClassInfo TInShellDragLoopClipboardFormat::ClassInfo{
    "TInShellDragLoopClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TInShellDragLoopClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TTargetCLSIDClipboardFormat::ClassInfo{
    "TTargetCLSIDClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TTargetCLSIDClipboardFormat>, ddWrite};
const TClipboardFormatClassInfo TRawClipboardFormat::ClassInfo{"TRawClipboardFormat",
                                                               &TClipboardFormat::ClassInfo, nullptr, ddRead};

// ---- simple formats ----------------------------------------------------------------------

TCustomSimpleClipboardFormat::TCustomSimpleClipboardFormat()
    : TClipboardFormat(TYMED_HGLOBAL | TYMED_ISTREAM) {}

bool TCustomSimpleClipboardFormat::DoGetData(const TStgMedium& Medium) {
    if (Medium.tymed == TYMED_HGLOBAL) {
        const qsizetype size = GlobalSize(Medium.hGlobal);
        return size <= 0 || ReadData(Medium.hGlobal->Bytes.constData(), size);
    }
    if (Medium.tymed != TYMED_ISTREAM || !Medium.pstm)
        return false;
    IStream& stream = *Medium.pstm;
    TStatStg stat;
    if (Failed(stream.Stat(stat, STATFLAG_NONAME)))
        return false;
    if (stat.cbSize == 0)
        return true;
    if (Failed(stream.Seek(0, STREAM_SEEK_SET, nullptr)))
        return false;
    // Read in pieces up to the size Stat gave; a stream that ends early gives what it had.
    QByteArray data;
    QByteArray piece(qsizetype(std::min<uint64_t>(StreamPieceSize, stat.cbSize)), '\0');
    while (uint64_t(data.size()) < stat.cbSize) {
        const auto want = static_cast<uint32_t>(std::min<uint64_t>(piece.size(), stat.cbSize - data.size()));
        uint32_t got = 0;
        if (Failed(stream.Read(piece.data(), want, &got)) || got == 0)
            break;
        data.append(piece.constData(), got);
    }
    return ReadData(data.constData(), data.size());
}

bool TCustomSimpleClipboardFormat::DoSetData(const TFormatEtc& Format, TStgMedium& Medium) {
    const qsizetype size = GetSize();
    if (size <= 0)
        return false;
    const uint32_t common = Format.tymed & FFormatEtc.tymed;
    if (Format.tymed != TYMED_ANY && (common & TYMED_ISTREAM)) {
        HGLOBAL block = GlobalAlloc(size);
        if (!WriteData(block->Bytes.data(), size))
            return false;
        std::unique_ptr<QIODevice> device = OpenGlobalMemory(block);
        device->seek(size); // at its end, as a freshly written stream stands
        Medium.tymed = TYMED_ISTREAM;
        Medium.pstm = std::make_shared<TFixedStreamAdapter>(std::move(device));
        return true;
    }
    if (common & TYMED_HGLOBAL) {
        HGLOBAL block = GlobalAlloc(size);
        if (!WriteData(block->Bytes.data(), size))
            return false;
        Medium.tymed = TYMED_HGLOBAL;
        Medium.hGlobal = std::move(block);
        return true;
    }
    return false;
}

qsizetype TCustomAnsiStringClipboardFormat::GetSize() {
    return FData.size();
}

bool TCustomAnsiStringClipboardFormat::ReadData(const char* Buffer, qsizetype Size) {
    const qsizetype length = FTrimZeroes ? qsizetype(::strnlen(Buffer, size_t(Size))) : Size;
    FData = QByteArray(Buffer, length);
    return true;
}

bool TCustomAnsiStringClipboardFormat::WriteData(char* Buffer, qsizetype Size) {
    if (FData.size() + 1 < Size)
        return false;
    const qsizetype copied = std::min(Size, FData.size());
    std::memcpy(Buffer, FData.constData(), size_t(copied));
    std::memset(Buffer + copied, 0, size_t(Size - copied));
    return true;
}

QByteArray TCustomStringListClipboardFormat::Text() const {
    QByteArray text;
    for (const QByteArray& line : FLines)
        text += line + "\r\n";
    return text;
}

void TCustomStringListClipboardFormat::SetText(QByteArrayView Text) {
    FLines.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Text[i] != '\r' && Text[i] != '\n')
            continue;
        FLines.append(Text.sliced(start, i - start).toByteArray());
        if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < Text.size())
        FLines.append(Text.sliced(start).toByteArray());
}

qsizetype TCustomStringListClipboardFormat::GetSize() {
    return Text().size() + 1;
}

bool TCustomStringListClipboardFormat::ReadData(const char* Buffer, qsizetype Size) {
    SetText(QByteArrayView(Buffer, qsizetype(::strnlen(Buffer, size_t(Size)))));
    return true;
}

bool TCustomStringListClipboardFormat::WriteData(char* Buffer, qsizetype Size) {
    const QByteArray text = Text();
    if (Size != text.size() + 1)
        return false;
    std::memcpy(Buffer, text.constData(), size_t(text.size()));
    Buffer[text.size()] = '\0';
    return true;
}

bool TCustomDWORDClipboardFormat::ReadData(const char* Buffer, qsizetype Size) {
    if (Size < 4)
        return false;
    FValue = qFromLittleEndian<uint32_t>(Buffer);
    return true;
}

bool TCustomDWORDClipboardFormat::WriteData(char* Buffer, qsizetype Size) {
    if (Size != 4)
        return false;
    qToLittleEndian<uint32_t>(FValue, Buffer);
    return true;
}

namespace {

TClipFormat Registered(const char* Name) {
    return RegisterClipboardFormat(QString::fromLatin1(Name));
}

} // namespace

TClipFormat TPreferredDropEffectClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = Registered("Preferred DropEffect");
    return id;
}

TClipFormat TPerformedDropEffectClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = Registered("Performed DropEffect");
    return id;
}

TClipFormat TLogicalPerformedDropEffectClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = Registered("Logical Performed DropEffect");
    return id;
}

TClipFormat TPasteSucceededClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = Registered("Paste Succeeded");
    return id;
}

TClipFormat TInShellDragLoopClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = Registered("InShellDragLoop");
    return id;
}

TClipFormat TTargetCLSIDClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = Registered("TargetCLSID");
    return id;
}

bool TTargetCLSIDClipboardFormat::ReadData(const char* Buffer, qsizetype Size) {
    if (Size != 16)
        return false;
    const auto* b = reinterpret_cast<const uchar*>(Buffer);
    FCLSID = QUuid(qFromLittleEndian<uint32_t>(b), qFromLittleEndian<uint16_t>(b + 4),
                   qFromLittleEndian<uint16_t>(b + 6), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return true;
}

bool TTargetCLSIDClipboardFormat::WriteData(char* Buffer, qsizetype Size) {
    if (Size != 16)
        return false;
    auto* b = reinterpret_cast<uchar*>(Buffer);
    qToLittleEndian<uint32_t>(FCLSID.data1, b);
    qToLittleEndian<uint16_t>(FCLSID.data2, b + 4);
    qToLittleEndian<uint16_t>(FCLSID.data3, b + 6);
    std::memcpy(b + 8, FCLSID.data4, 8);
    return true;
}

// ---- feedback ----------------------------------------------------------------------------

const TDataFormatClassInfo TFeedbackDataFormat::ClassInfo{
    "TFeedbackDataFormat", &TCustomDataFormat::ClassInfo, [] {
        const TClipboardFormatClass formats[] = {
            &TPreferredDropEffectClipboardFormat::ClassInfo,
            &TPerformedDropEffectClipboardFormat::ClassInfo,
            &TPasteSucceededClipboardFormat::ClassInfo,
            &TInShellDragLoopClipboardFormat::ClassInfo,
            &TTargetCLSIDClipboardFormat::ClassInfo,
            &TLogicalPerformedDropEffectClipboardFormat::ClassInfo,
        };
        for (TClipboardFormatClass format : formats)
            RegisterDataConversion(&TFeedbackDataFormat::ClassInfo, format, 0, ddRead | ddWrite);
    }};

bool TFeedbackDataFormat::Assign(TClipboardFormat& Format) {
    if (auto* f = dynamic_cast<TPreferredDropEffectClipboardFormat*>(&Format))
        SetPreferredDropEffect(f->Value());
    else if (auto* f = dynamic_cast<TPerformedDropEffectClipboardFormat*>(&Format))
        SetPerformedDropEffect(f->Value());
    else if (auto* f = dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(&Format))
        SetLogicalPerformedDropEffect(f->Value());
    else if (auto* f = dynamic_cast<TPasteSucceededClipboardFormat*>(&Format))
        SetPasteSucceeded(f->Value());
    else if (auto* f = dynamic_cast<TTargetCLSIDClipboardFormat*>(&Format))
        SetTargetCLSID(f->CLSID());
    else if (auto* f = dynamic_cast<TInShellDragLoopClipboardFormat*>(&Format)) {
        SetInShellDragLoop(f->InShellDragLoop());
        FGotInShellDragLoop = true;
    } else
        return TCustomDataFormat::Assign(Format);
    return true;
}

bool TFeedbackDataFormat::AssignTo(TClipboardFormat& Format) {
    if (auto* f = dynamic_cast<TPreferredDropEffectClipboardFormat*>(&Format))
        f->SetValue(FPreferredDropEffect);
    else if (auto* f = dynamic_cast<TPerformedDropEffectClipboardFormat*>(&Format))
        f->SetValue(FPerformedDropEffect);
    else if (auto* f = dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(&Format))
        f->SetValue(FLogicalPerformedDropEffect);
    else if (auto* f = dynamic_cast<TPasteSucceededClipboardFormat*>(&Format))
        f->SetValue(FPasteSucceeded);
    else if (auto* f = dynamic_cast<TTargetCLSIDClipboardFormat*>(&Format))
        f->SetCLSID(FTargetCLSID);
    else if (auto* f = dynamic_cast<TInShellDragLoopClipboardFormat*>(&Format))
        f->SetInShellDragLoop(FInShellDragLoop);
    else
        return TCustomDataFormat::AssignTo(Format);
    return true;
}

void TFeedbackDataFormat::Clear() {
    Changing();
    FPreferredDropEffect = 0;
    FPerformedDropEffect = 0;
    FInShellDragLoop = false;
    FGotInShellDragLoop = false;
}

bool TFeedbackDataFormat::HasData() {
    return FPreferredDropEffect != 0 || FPerformedDropEffect != 0 || FPasteSucceeded != 0 ||
           FGotInShellDragLoop;
}

bool TFeedbackDataFormat::NeedsData() {
    return FPreferredDropEffect == 0 || FPerformedDropEffect == 0 || FPasteSucceeded == 0 ||
           !FGotInShellDragLoop;
}

void TFeedbackDataFormat::SetPreferredDropEffect(uint32_t Value) {
    Changing();
    FPreferredDropEffect = Value;
}

void TFeedbackDataFormat::SetPerformedDropEffect(uint32_t Value) {
    Changing();
    FPerformedDropEffect = Value;
}

void TFeedbackDataFormat::SetLogicalPerformedDropEffect(uint32_t Value) {
    Changing();
    FLogicalPerformedDropEffect = Value;
}

void TFeedbackDataFormat::SetPasteSucceeded(uint32_t Value) {
    Changing();
    FPasteSucceeded = Value;
}

void TFeedbackDataFormat::SetTargetCLSID(const QUuid& Value) {
    Changing();
    FTargetCLSID = Value;
}

void TFeedbackDataFormat::SetInShellDragLoop(bool Value) {
    Changing();
    FInShellDragLoop = Value;
}

// ---- streams -----------------------------------------------------------------------------

void TStreamList::Add(const QString& Name, std::unique_ptr<QIODevice> Stream) {
    FStreams.emplace_back(Name, std::move(Stream));
}

void TStreamList::Clear() {
    if (OnChanging)
        OnChanging();
    FStreams.clear();
}

const TDataFormatClassInfo TDataStreamDataFormat::ClassInfo{"TDataStreamDataFormat",
                                                            &TCustomDataFormat::ClassInfo, nullptr};

TDataStreamDataFormat::TDataStreamDataFormat(TDragDropComponent* Owner) : TCustomDataFormat(Owner) {
    FStreams.OnChanging = [this] {
        Changing();
    };
}

TDataStreamDataFormat::TDataStreamDataFormat(TConversionSide Side) : TCustomDataFormat(Side) {
    FStreams.OnChanging = [this] {
        Changing();
    };
}

HRESULT TFixedStreamAdapter::Read(void* Buffer, uint32_t Count, uint32_t* Done) {
    if (!FSeeked) {
        FSeeked = true;
        Device().seek(0);
    }
    return TStreamAdapter::Read(Buffer, Count, Done);
}

HRESULT TFixedStreamAdapter::Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) {
    FSeeked = true;
    return TStreamAdapter::Seek(Move, Origin, NewPosition);
}

HRESULT TFixedStreamAdapter::CopyTo(IStream& Dest, uint64_t Count, uint64_t* Read, uint64_t* Written) {
    return GuardedResult([&]() -> HRESULT {
        uint64_t read = 0;
        uint64_t written = 0;
        HRESULT result = S_OK;
        QIODevice& device = Device();
        const bool all = (Count >> 63) != 0;
        if (all && device.pos() >= device.size())
            device.seek(0);
        uint64_t left = all ? uint64_t(device.size() - device.pos()) : Count;
        QByteArray piece(qsizetype(std::min<uint64_t>(left, StreamPieceSize)), '\0');
        while (left > 0) {
            const qint64 got = device.read(piece.data(), qint64(std::min<uint64_t>(left, StreamPieceSize)));
            if (got <= 0)
                break;
            read += uint64_t(got);
            uint32_t put = 0;
            result = Dest.Write(piece.constData(), uint32_t(got), &put);
            written += put;
            if (Failed(result))
                break;
            if (put < uint64_t(got)) {
                result = E_FAIL;
                break;
            }
            left -= uint64_t(got);
        }
        if (Read)
            *Read = read;
        if (Written)
            *Written = written;
        return result;
    });
}

HRESULT TFixedStreamAdapter::Stat(TStatStg& Stat, uint32_t Flags) {
    const HRESULT result = TStreamAdapter::Stat(Stat, Flags | STATFLAG_NONAME);
    Stat.pwcsName.clear();
    return result;
}

// ---- raw formats -------------------------------------------------------------------------

TRawClipboardFormat::TRawClipboardFormat(const TFormatEtc& FormatEtc) : TClipboardFormat(FormatEtc) {}

bool TRawClipboardFormat::DoGetData(const TStgMedium& Medium) {
    return Succeeded(CopyStgMedium(Medium, FMedium));
}

bool TRawClipboardFormat::DoSetData(const TFormatEtc& Format, TStgMedium& Medium) {
    return (Format.tymed & FMedium.tymed) != 0 && Succeeded(CopyStgMedium(FMedium, Medium));
}

const TDataFormatClassInfo TRawDataFormat::ClassInfo{"TRawDataFormat", &TCustomDataFormat::ClassInfo,
                                                     nullptr};

TRawClipboardFormat& TRawDataFormat::AddFormat(const TFormatEtc& FormatEtc) {
    TClipboardFormats& formats = CompatibleFormats();
    if (auto* known = dynamic_cast<TRawClipboardFormat*>(formats.FindFormat(FormatEtc.cfFormat)))
        return *known;
    auto format = std::make_shared<TRawClipboardFormat>(FormatEtc);
    TRawClipboardFormat& added = *format;
    formats.Add(std::move(format));
    return added;
}

bool TRawDataFormat::Assign(TClipboardFormat& Format) {
    auto* raw = dynamic_cast<TRawClipboardFormat*>(&Format);
    if (!raw || !raw->HasData())
        return TCustomDataFormat::Assign(Format);
    Changing();
    CopyStgMedium(raw->Medium(), FMedia[raw->ClipboardFormat()]);
    return true;
}

bool TRawDataFormat::AssignTo(TClipboardFormat& Format) {
    auto* raw = dynamic_cast<TRawClipboardFormat*>(&Format);
    if (!raw)
        return TCustomDataFormat::AssignTo(Format);
    const auto found = FMedia.find(raw->ClipboardFormat());
    if (found == FMedia.end())
        return false;
    raw->SetMedium(found->second);
    return true;
}

void TRawDataFormat::Clear() {
    Changing();
    FMedia.clear();
}

// ---- unit --------------------------------------------------------------------------------

namespace {

int FormatsStartCount = 0;

} // namespace

void DragDropFormatsUnitStart() {
    DragDropUnitStart();
    if (FormatsStartCount++ > 0)
        return;
    RegisterDataFormatClass(&TDataStreamDataFormat::ClassInfo);
    RegisterDataFormatClass(&TFeedbackDataFormat::ClassInfo);
    TPreferredDropEffectClipboardFormat().ClipboardFormat();
    TPerformedDropEffectClipboardFormat().ClipboardFormat();
    TLogicalPerformedDropEffectClipboardFormat().ClipboardFormat();
    TPasteSucceededClipboardFormat().ClipboardFormat();
    TInShellDragLoopClipboardFormat().ClipboardFormat();
    TTargetCLSIDClipboardFormat().ClipboardFormat();
}

void DragDropFormatsUnitStop() {
    if (FormatsStartCount > 0)
        --FormatsStartCount;
    DragDropUnitStop();
}
