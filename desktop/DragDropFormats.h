// Clipboard formats that move a block of bytes through global memory or a stream, the
// families built on them (8-bit string, list of lines, 32-bit value, GUID), the feedback
// formats a drop target and a drop source exchange about a drop, and the data formats for
// streams, for that feedback and for formats nobody registered.
#pragma once

#include "desktop/DragDrop.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QUuid>

#include <map>
#include <memory>
#include <utility>
#include <vector>

// The largest piece in which streams are read and copied.
inline constexpr qsizetype StreamPieceSize = 1048576;

// A block of bytes: reading takes the medium's size, writing renders GetSize bytes.
class TCustomSimpleClipboardFormat : public TClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TCustomSimpleClipboardFormat();

    // A global block: its size (0 is success without data). A stream: its size from Stat,
    // read from the start in pieces; what arrived is read.
    bool DoGetData(const TStgMedium& Medium) override;
    // GetSize bytes filled by WriteData: a stream when both the request (not "any") and our
    // media allow one, else global memory.
    bool DoSetData(const TFormatEtc& FormatEtc, TStgMedium& Medium) override;

    virtual qsizetype GetSize() = 0;
    virtual bool ReadData(const char* Buffer, qsizetype Size) = 0;
    virtual bool WriteData(char* Buffer, qsizetype Size) = 0;
};

class TCustomAnsiStringClipboardFormat : public TCustomSimpleClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    const QByteArray& Data() const { return FData; }
    void SetData(const QByteArray& Value) { FData = Value; }
    // Reading cuts the text at its first zero byte.
    bool TrimZeroes() const { return FTrimZeroes; }
    void SetTrimZeroes(bool Value) { FTrimZeroes = Value; }

    qsizetype GetSize() override;
    bool ReadData(const char* Buffer, qsizetype Size) override;
    // Copies Size bytes (the text, then zeros) when the text plus one byte fills them.
    bool WriteData(char* Buffer, qsizetype Size) override;
    void Clear() override { FData.clear(); }
    bool HasData() override { return !FData.isEmpty(); }

private:
    QByteArray FData;
    bool FTrimZeroes = false;
};

// Lines of 8-bit text, each followed by CR LF, with a closing zero byte.
class TCustomStringListClipboardFormat : public TCustomSimpleClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    const QList<QByteArray>& Lines() const { return FLines; }
    void SetLines(const QList<QByteArray>& Value) { FLines = Value; }
    QByteArray Text() const;
    // Lines end at CR LF, CR or LF.
    void SetText(QByteArrayView Text);

    qsizetype GetSize() override;
    // The text is the bytes up to the first zero (all of them when no zero byte came).
    bool ReadData(const char* Buffer, qsizetype Size) override;
    // Only into exactly the text's length plus one.
    bool WriteData(char* Buffer, qsizetype Size) override;
    void Clear() override { FLines.clear(); }
    bool HasData() override { return !FLines.isEmpty(); }

private:
    QList<QByteArray> FLines;
};

// A 32-bit value in 4 bytes, low byte first.
class TCustomDWORDClipboardFormat : public TCustomSimpleClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    uint32_t Value() const { return FValue; }
    void SetValue(uint32_t Value) { FValue = Value; }

    qsizetype GetSize() override { return 4; }
    // False for fewer than 4 bytes.
    bool ReadData(const char* Buffer, qsizetype Size) override;
    bool WriteData(char* Buffer, qsizetype Size) override;
    void Clear() override { FValue = 0; }
    bool HasData() override { return FValue != 0; }

private:
    uint32_t FValue = 0;
};

class TPreferredDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
    bool HasData() override { return true; }
};

class TPerformedDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
};

class TLogicalPerformedDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
};

class TPasteSucceededClipboardFormat : public TCustomDWORDClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
};

// Read as a flag (any value but 0), written as 0 or 1.
class TInShellDragLoopClipboardFormat : public TCustomDWORDClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
    bool InShellDragLoop() const { return Value() != 0; }
    void SetInShellDragLoop(bool Value) { SetValue(Value ? 1 : 0); }
};

// A 16-byte GUID in its memory layout (the first three fields low byte first).
class TTargetCLSIDClipboardFormat : public TCustomSimpleClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
    const QUuid& CLSID() const { return FCLSID; }
    void SetCLSID(const QUuid& Value) { FCLSID = Value; }

    qsizetype GetSize() override { return 16; }
    bool ReadData(const char* Buffer, qsizetype Size) override;
    bool WriteData(char* Buffer, qsizetype Size) override;
    void Clear() override { FCLSID = QUuid(); }
    bool HasData() override { return !FCLSID.isNull(); }

private:
    QUuid FCLSID;
};

// The outcome of a drop as the two sides tell each other.
class TFeedbackDataFormat : public TCustomDataFormat {
    ZT_DATA_FORMAT_CLASS
public:
    using TCustomDataFormat::TCustomDataFormat;

    bool Assign(TClipboardFormat& Format) override;
    bool AssignTo(TClipboardFormat& Format) override;
    // Zeroes the preferred and performed effects and both loop flags.
    void Clear() override;
    bool HasData() override;
    // Unless the preferred, performed and paste-succeeded effects and the loop flag are set.
    bool NeedsData() override;

    uint32_t PreferredDropEffect() const { return FPreferredDropEffect; }
    void SetPreferredDropEffect(uint32_t Value);
    uint32_t PerformedDropEffect() const { return FPerformedDropEffect; }
    void SetPerformedDropEffect(uint32_t Value);
    uint32_t LogicalPerformedDropEffect() const { return FLogicalPerformedDropEffect; }
    void SetLogicalPerformedDropEffect(uint32_t Value);
    uint32_t PasteSucceeded() const { return FPasteSucceeded; }
    void SetPasteSucceeded(uint32_t Value);
    const QUuid& TargetCLSID() const { return FTargetCLSID; }
    void SetTargetCLSID(const QUuid& Value);
    bool InShellDragLoop() const { return FInShellDragLoop; }
    void SetInShellDragLoop(bool Value);
    // An InShellDragLoop value came in.
    bool GotInShellDragLoop() const { return FGotInShellDragLoop; }

private:
    uint32_t FPreferredDropEffect = 0;
    uint32_t FPerformedDropEffect = 0;
    uint32_t FLogicalPerformedDropEffect = 0;
    uint32_t FPasteSucceeded = 0;
    QUuid FTargetCLSID;
    bool FInShellDragLoop = false;
    bool FGotInShellDragLoop = false;
};

// Named streams, owned by the list.
class TStreamList {
public:
    void Add(const QString& Name, std::unique_ptr<QIODevice> Stream);
    size_t Count() const { return FStreams.size(); }
    const QString& Names(size_t Index) const { return FStreams[Index].first; }
    QIODevice& Streams(size_t Index) const { return *FStreams[Index].second; }
    // Fires OnChanging first, then frees every stream.
    void Clear();

    std::function<void()> OnChanging;

private:
    std::vector<std::pair<QString, std::unique_ptr<QIODevice>>> FStreams;
};

class TDataStreamDataFormat : public TCustomDataFormat {
    ZT_DATA_FORMAT_CLASS
public:
    explicit TDataStreamDataFormat(TDragDropComponent* Owner);
    explicit TDataStreamDataFormat(TConversionSide Side);

    TStreamList& Streams() { return FStreams; }
    void Clear() override { FStreams.Clear(); }
    bool HasData() override { return FStreams.Count() > 0; }
    bool NeedsData() override { return FStreams.Count() == 0; }

private:
    TStreamList FStreams;
};

// A stream whose first Read before any Seek starts at the beginning, that reports no name, and
// that copies "all" from the current position (from the start when at the end) in 1 MiB pieces.
class TFixedStreamAdapter : public TStreamAdapter {
public:
    using TStreamAdapter::TStreamAdapter;

    HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Done) override;
    HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) override;
    // E_FAIL when the destination takes fewer bytes than offered; E_UNEXPECTED on an exception.
    HRESULT CopyTo(IStream& Dest, uint64_t Count, uint64_t* Read, uint64_t* Written) override;
    HRESULT Stat(TStatStg& Stat, uint32_t Flags) override;

private:
    bool FSeeked = false;
};

// Carries one medium of a format nobody registered.
class TRawClipboardFormat : public TClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    explicit TRawClipboardFormat(const TFormatEtc& FormatEtc);

    bool DoGetData(const TStgMedium& Medium) override;
    bool DoSetData(const TFormatEtc& FormatEtc, TStgMedium& Medium) override;
    void Clear() override { ReleaseStgMedium(FMedium); }
    bool HasData() override { return FMedium.tymed != TYMED_NULL; }
    const TStgMedium& Medium() const { return FMedium; }
    void SetMedium(const TStgMedium& Value) { CopyStgMedium(Value, FMedium); }

private:
    TStgMedium FMedium;
};

// The media a target wrote back in formats that no data format knows, offered again on request.
class TRawDataFormat : public TCustomDataFormat {
    ZT_DATA_FORMAT_CLASS
public:
    using TCustomDataFormat::TCustomDataFormat;

    // A clipboard format for the record, among the compatible formats from now on.
    TRawClipboardFormat& AddFormat(const TFormatEtc& FormatEtc);
    bool Assign(TClipboardFormat& Format) override;
    bool AssignTo(TClipboardFormat& Format) override;
    void Clear() override;
    bool HasData() override { return !FMedia.empty(); }

private:
    std::map<TClipFormat, TStgMedium> FMedia;
};

// Registers the stream and feedback data formats and makes the feedback format ids known.
void DragDropFormatsUnitStart();
void DragDropFormatsUnitStop();
