// The block formats and their families: media chosen for a request, global blocks and streams
// read and written byte for byte, the feedback formats with their names and directions, the
// fixed stream adapter, stream lists and raw formats.
#include "desktop/DragDropFormats.h"

#include "dragdrop_helpers.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace ddtest;

namespace {

// An 8-bit string format with an id of its own.
class TTestStringFormat : public TCustomAnsiStringClipboardFormat {
public:
    TClipFormat GetClipboardFormat() override { return Named("Test String"); }
};

class TTestLinesFormat : public TCustomStringListClipboardFormat {
public:
    TClipFormat GetClipboardFormat() override { return Named("Test Lines"); }
};

TStgMedium Stream(const QByteArray& Bytes) {
    TStgMedium medium;
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = std::make_shared<TStreamAdapter>(OpenGlobalMemory(Global(Bytes).hGlobal));
    return medium;
}

// A stream that takes at most Limit bytes per write, or throws.
class TNarrowStream : public TStreamAdapter {
public:
    TNarrowStream(uint32_t Limit, bool Throw)
        : TStreamAdapter(OpenGlobalMemory(GlobalAlloc(0))), FLimit(Limit), FThrow(Throw) {}
    HRESULT Write(const void* Buffer, uint32_t Count, uint32_t* Done) override {
        if (FThrow)
            throw std::runtime_error("write failed");
        return TStreamAdapter::Write(Buffer, std::min(Count, FLimit), Done);
    }

private:
    uint32_t FLimit;
    bool FThrow;
};

} // namespace

TEST(DragDropFormats, AnEmptyGlobalBlockIsSuccessWithoutData) {
    TTestStringFormat format;
    TStgMedium empty = Global(QByteArray());
    EXPECT_TRUE(format.GetDataFromMedium(empty));
    EXPECT_FALSE(format.HasData());
    EXPECT_EQ(empty.tymed, TYMED_NULL); // released after reading
    TStgMedium emptyStream = Stream(QByteArray());
    EXPECT_TRUE(format.GetDataFromMedium(emptyStream));
    EXPECT_FALSE(format.HasData());
    // A medium kind outside the format's mask is not read.
    TStgMedium storage;
    storage.tymed = TYMED_ISTORAGE;
    EXPECT_FALSE(format.GetDataFromMedium(storage));
}

TEST(DragDropFormats, TheRequestChoosesTheMedium) {
    TTestStringFormat format;
    format.SetData("abcd");
    TStgMedium medium;
    ASSERT_TRUE(format.DoSetData(Format(format.ClipboardFormat(), TYMED_ANY), medium));
    EXPECT_EQ(medium.tymed, TYMED_HGLOBAL); // -1 gives global memory
    EXPECT_EQ(medium.hGlobal->Bytes, "abcd");
    ASSERT_TRUE(format.DoSetData(Format(format.ClipboardFormat(), TYMED_HGLOBAL | TYMED_ISTREAM), medium));
    EXPECT_EQ(medium.tymed, TYMED_ISTREAM);
    EXPECT_EQ(MediumBytes(medium), "abcd");
    ASSERT_TRUE(format.DoSetData(Format(format.ClipboardFormat(), TYMED_HGLOBAL), medium));
    EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
    EXPECT_FALSE(format.DoSetData(Format(format.ClipboardFormat(), TYMED_ISTORAGE), medium));
    format.SetData(QByteArray());
    EXPECT_FALSE(format.DoSetData(Format(format.ClipboardFormat(), TYMED_HGLOBAL), medium)); // size 0
}

TEST(DragDropFormats, AWrittenStreamStandsAtItsEndAndReadsFromTheStart) {
    TTestStringFormat format;
    format.SetData("hello");
    TStgMedium medium;
    ASSERT_TRUE(format.DoSetData(Format(format.ClipboardFormat(), TYMED_ISTREAM), medium));
    uint64_t position = 0;
    ASSERT_EQ(medium.pstm->Seek(0, STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position, 5u);
    TTestStringFormat reader;
    ASSERT_TRUE(reader.GetDataFromMedium(medium));
    EXPECT_EQ(reader.Data(), "hello");
}

TEST(DragDropFormats, StreamsAreReadInPiecesUpToTheirSize) {
    QByteArray big(StreamPieceSize * 2 + 12345, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char('a' + i % 26);
    TTestStringFormat format;
    TStgMedium medium = Stream(big);
    ASSERT_TRUE(format.GetDataFromMedium(medium));
    EXPECT_EQ(format.Data(), big);
}

TEST(DragDropFormats, EightBitStrings) {
    TTestStringFormat format;
    TStgMedium medium = Global(QByteArray("ab\0cd", 5));
    ASSERT_TRUE(format.GetDataFromMedium(medium));
    EXPECT_EQ(format.Data(), QByteArray("ab\0cd", 5)); // no trimming by default
    format.SetTrimZeroes(true);
    medium = Global(QByteArray("ab\0cd", 5));
    ASSERT_TRUE(format.GetDataFromMedium(medium));
    EXPECT_EQ(format.Data(), "ab");
    // Written only where the text plus one byte fills the request.
    format.SetData("abc");
    EXPECT_EQ(format.GetSize(), 3);
    char buffer[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_TRUE(format.WriteData(buffer, 4));
    EXPECT_EQ(QByteArray(buffer, 6), QByteArray("abc\0xx", 6));
    EXPECT_TRUE(format.WriteData(buffer, 2));
    EXPECT_FALSE(format.WriteData(buffer, 5));
}

TEST(DragDropFormats, LineListsAreWrittenOnlyIntoTheirExactSize) {
    TTestLinesFormat format;
    format.SetText("01234567");
    // A text of ten characters: one line and its line end.
    ASSERT_EQ(format.Text(), "01234567\r\n");
    EXPECT_EQ(format.GetSize(), 11);
    char buffer[32] = {};
    for (qsizetype size : {9, 10, 12, 32})
        EXPECT_FALSE(format.WriteData(buffer, size)) << size;
    ASSERT_TRUE(format.WriteData(buffer, 11));
    EXPECT_EQ(QByteArray(buffer, 11), QByteArray("01234567\r\n\0", 11));
    TTestLinesFormat plain;
    plain.SetLines({});
    EXPECT_EQ(plain.GetSize(), 1);
    EXPECT_FALSE(plain.HasData());
}

TEST(DragDropFormats, LineListsWithoutTerminatorKeepTheirLastCharacter) {
    TTestLinesFormat format;
    TStgMedium medium = Global("one\r\ntwo\nthree\rfour");
    ASSERT_TRUE(format.GetDataFromMedium(medium));
    EXPECT_EQ(format.Lines(), (QList<QByteArray>{"one", "two", "three", "four"}));
    medium = Global(QByteArray("a,b\r\nc,d\r\n\0garbage", 19));
    ASSERT_TRUE(format.GetDataFromMedium(medium));
    EXPECT_EQ(format.Lines(), (QList<QByteArray>{"a,b", "c,d"}));
}

TEST(DragDropFormats, DwordsAndGuids) {
    TPerformedDropEffectClipboardFormat dword;
    TStgMedium medium = Global(Le32(0x01020304));
    ASSERT_TRUE(dword.GetDataFromMedium(medium));
    EXPECT_EQ(dword.Value(), 0x01020304u);
    medium = Global(QByteArray("\x01\x02\x03", 3));
    EXPECT_FALSE(dword.GetDataFromMedium(medium)); // too short to hold a value
    dword.SetValue(7);
    char four[4];
    EXPECT_FALSE(dword.WriteData(four, 5));
    ASSERT_TRUE(dword.WriteData(four, 4));
    EXPECT_EQ(QByteArray(four, 4), Le32(7));

    TTargetCLSIDClipboardFormat guid;
    const QUuid value("{4657278A-411B-11D2-839A-00C04FD918D0}");
    guid.SetCLSID(value);
    char bytes[16];
    ASSERT_TRUE(guid.WriteData(bytes, 16));
    EXPECT_EQ(QByteArray(bytes, 16).toHex(), "8a2757461b41d211839a00c04fd918d0");
    EXPECT_FALSE(guid.WriteData(bytes, 15));
    TTargetCLSIDClipboardFormat back;
    medium = Global(QByteArray(bytes, 16));
    ASSERT_TRUE(back.GetDataFromMedium(medium));
    EXPECT_EQ(back.CLSID(), value);
    medium = Global(QByteArray(bytes, 12));
    EXPECT_FALSE(back.GetDataFromMedium(medium));
    EXPECT_FALSE(back.HasData());
}

TEST(DragDropFormats, FeedbackFormatNamesAndDirections) {
    struct Row {
        std::unique_ptr<TClipboardFormat> Format;
        const char* Name;
        TDataDirections Directions;
    };
    Row rows[] = {
        {std::make_unique<TPreferredDropEffectClipboardFormat>(), "Preferred DropEffect", ddRead},
        {std::make_unique<TPerformedDropEffectClipboardFormat>(), "Performed DropEffect", ddWrite},
        {std::make_unique<TLogicalPerformedDropEffectClipboardFormat>(), "Logical Performed DropEffect",
         ddRead},
        {std::make_unique<TPasteSucceededClipboardFormat>(), "Paste Succeeded", ddWrite},
        {std::make_unique<TInShellDragLoopClipboardFormat>(), "InShellDragLoop", ddRead},
        {std::make_unique<TTargetCLSIDClipboardFormat>(), "TargetCLSID", ddWrite},
    };
    for (Row& row : rows) {
        EXPECT_EQ(row.Format->ClipboardFormat(), Named(row.Name)) << row.Name;
        EXPECT_EQ(row.Format->GetClipboardFormatName(), row.Name);
        EXPECT_EQ(row.Format->DataDirections(), row.Directions) << row.Name;
        EXPECT_EQ(row.Format->FormatEtc().tymed, TYMED_HGLOBAL | TYMED_ISTREAM);
    }
    // The preferred effect holds data even at 0; the others only when not 0.
    EXPECT_TRUE(TPreferredDropEffectClipboardFormat().HasData());
    EXPECT_FALSE(TPasteSucceededClipboardFormat().HasData());
    TInShellDragLoopClipboardFormat loop;
    loop.SetInShellDragLoop(true);
    EXPECT_EQ(loop.Value(), 1u);
    TStgMedium medium = Global(Le32(0x40));
    ASSERT_TRUE(loop.GetDataFromMedium(medium));
    EXPECT_TRUE(loop.InShellDragLoop());
}

TEST(DragDropFormats, APerformedEffectOf1ReadIntoTheFeedback) {
    TUnitReference unit{DragDropFormatsUnitStart, DragDropFormatsUnitStop};
    TFeedbackDataFormat feedback(csTarget);
    EXPECT_FALSE(feedback.HasData());
    TStaticDataObject data;
    data.Put(Named("Performed DropEffect"), Le32(1));
    ASSERT_TRUE(feedback.GetData(data));
    EXPECT_EQ(feedback.PerformedDropEffect(), 1u);
    EXPECT_TRUE(feedback.HasData());
    EXPECT_TRUE(feedback.NeedsData());
    // Everything a source tells at once.
    TStaticDataObject all;
    all.Put(Named("Preferred DropEffect"), Le32(2));
    all.Put(Named("Performed DropEffect"), Le32(2));
    all.Put(Named("Paste Succeeded"), Le32(2));
    all.Put(Named("InShellDragLoop"), Le32(1));
    all.Put(Named("Logical Performed DropEffect"), Le32(2));
    ASSERT_TRUE(feedback.GetData(all));
    EXPECT_EQ(feedback.PreferredDropEffect(), 2u);
    EXPECT_EQ(feedback.PasteSucceeded(), 2u);
    EXPECT_TRUE(feedback.GotInShellDragLoop());
    EXPECT_FALSE(feedback.NeedsData());
    feedback.Clear();
    EXPECT_EQ(feedback.PreferredDropEffect(), 0u);
    EXPECT_EQ(feedback.PerformedDropEffect(), 0u);
    EXPECT_FALSE(feedback.GotInShellDragLoop());
    EXPECT_EQ(feedback.PasteSucceeded(), 2u); // not part of the clear
}

TEST(DragDropFormats, FeedbackRendersItsValues) {
    TUnitReference unit{DragDropFormatsUnitStart, DragDropFormatsUnitStop};
    TFeedbackDataFormat feedback(csSource);
    int changes = 0;
    feedback.OnChanging = [&](TCustomDataFormat*) {
        ++changes;
    };
    feedback.SetPreferredDropEffect(DROPEFFECT_MOVE);
    feedback.SetTargetCLSID(QUuid("{00000001-0002-0003-0405-060708090a0b}"));
    EXPECT_EQ(changes, 2);
    TPreferredDropEffectClipboardFormat preferred;
    ASSERT_TRUE(feedback.AssignTo(preferred));
    EXPECT_EQ(preferred.Value(), DROPEFFECT_MOVE);
    TTargetCLSIDClipboardFormat clsid;
    ASSERT_TRUE(feedback.AssignTo(clsid));
    EXPECT_EQ(clsid.CLSID(), feedback.TargetCLSID());
    TTestStringFormat foreign;
    EXPECT_FALSE(feedback.AssignTo(foreign));
    EXPECT_FALSE(feedback.Assign(foreign));
}

TEST(DragDropFormats, FixedStreamAdapter) {
    auto device = std::make_unique<QBuffer>();
    device->setData("0123456789");
    device->open(QIODevice::ReadWrite);
    device->seek(10);
    device->setObjectName("named");
    TFixedStreamAdapter stream(std::move(device));
    TStatStg stat;
    ASSERT_EQ(stream.Stat(stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.cbSize, 10u);
    EXPECT_TRUE(stat.pwcsName.isEmpty());
    // The first read before any seek starts at the beginning.
    char buffer[4];
    uint32_t done = 0;
    ASSERT_EQ(stream.Read(buffer, 4, &done), S_OK);
    EXPECT_EQ(QByteArray(buffer, int(done)), "0123");
    // Copying "all" goes from the current position to the end ...
    TStreamAdapter dest(OpenGlobalMemory(GlobalAlloc(0)));
    uint64_t read = 0, written = 0;
    ASSERT_EQ(stream.CopyTo(dest, UINT64_MAX, &read, &written), S_OK);
    EXPECT_EQ(read, 6u);
    EXPECT_EQ(written, 6u);
    // ... and from the start when the position is at the end.
    TStreamAdapter again(OpenGlobalMemory(GlobalAlloc(0)));
    ASSERT_EQ(stream.CopyTo(again, UINT64_MAX, &read, &written), S_OK);
    EXPECT_EQ(read, 10u);
    TStatStg copied;
    again.Stat(copied, STATFLAG_NONAME);
    EXPECT_EQ(copied.cbSize, 10u);
    // A seek counts: the next read goes on from there.
    stream.Seek(8, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(stream.Read(buffer, 4, &done), S_OK);
    EXPECT_EQ(QByteArray(buffer, int(done)), "89");
}

TEST(DragDropFormats, FixedStreamCopyFailures) {
    auto make = [] {
        auto device = std::make_unique<QBuffer>();
        device->setData(QByteArray(3 * StreamPieceSize, 'z'));
        device->open(QIODevice::ReadOnly);
        return std::make_unique<TFixedStreamAdapter>(std::move(device));
    };
    uint64_t read = 0, written = 0;
    TNarrowStream narrow(100, false);
    EXPECT_EQ(make()->CopyTo(narrow, UINT64_MAX, &read, &written), E_FAIL);
    EXPECT_EQ(read, uint64_t(StreamPieceSize)); // one piece, cut short
    EXPECT_EQ(written, 100u);
    TNarrowStream throwing(100, true);
    EXPECT_EQ(make()->CopyTo(throwing, UINT64_MAX, &read, &written), E_UNEXPECTED);
    TNarrowStream wide(UINT32_MAX, false);
    ASSERT_EQ(make()->CopyTo(wide, 5, &read, &written), S_OK);
    EXPECT_EQ(read, 5u);
}

TEST(DragDropFormats, StreamListsAndTheStreamDataFormat) {
    TUnitReference unit{DragDropFormatsUnitStart, DragDropFormatsUnitStop};
    TDataStreamDataFormat streams(csTarget);
    int changes = 0;
    streams.OnChanging = [&](TCustomDataFormat*) {
        ++changes;
    };
    EXPECT_TRUE(streams.NeedsData());
    streams.Streams().Add("first", std::make_unique<QBuffer>());
    streams.Streams().Add("second", std::make_unique<QBuffer>());
    EXPECT_TRUE(streams.HasData());
    EXPECT_EQ(streams.Streams().Names(1), "second");
    streams.Clear();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(streams.Streams().Count(), 0u);
    EXPECT_EQ(streams.CompatibleFormats().Count(), 0u); // nothing registers stream conversions
}

TEST(DragDropFormats, RawFormatsKeepAMediumAndOfferItAgain) {
    TUnitReference unit{DragDropFormatsUnitStart, DragDropFormatsUnitStop};
    TRawDataFormat raw(csSource);
    const TFormatEtc unknown = Format(Named("Nobody Knows This"), TYMED_HGLOBAL);
    TRawClipboardFormat& carrier = raw.AddFormat(unknown);
    EXPECT_EQ(&raw.AddFormat(unknown), &carrier);
    TStgMedium medium = Global("raw bytes");
    ASSERT_TRUE(carrier.GetDataFromMedium(medium));
    ASSERT_TRUE(raw.Assign(carrier));
    carrier.Clear();
    EXPECT_TRUE(raw.HasData());
    TRawClipboardFormat out(unknown);
    ASSERT_TRUE(raw.AssignTo(out));
    TStgMedium rendered;
    ASSERT_TRUE(out.DoSetData(unknown, rendered));
    EXPECT_EQ(MediumBytes(rendered), "raw bytes");
    TRawClipboardFormat other(Format(Named("Another Unknown")));
    EXPECT_FALSE(raw.AssignTo(other));
}

TEST(DragDropFormats, TheStaticDataObject) {
    TStaticDataObject data;
    data.Put(CF_TEXT, "abc");
    data.Put(CF_OEMTEXT, "oem", TYMED_ISTREAM);
    EXPECT_EQ(data.QueryGetData(Format(CF_TEXT)), S_OK);
    EXPECT_EQ(data.QueryGetData(Format(CF_TEXT, TYMED_ISTREAM)), DV_E_TYMED);
    EXPECT_EQ(data.QueryGetData(Format(CF_LOCALE)), DV_E_FORMATETC);
    TFormatEtc aspect = Format(CF_TEXT);
    aspect.dwAspect = 4;
    EXPECT_EQ(data.QueryGetData(aspect), DV_E_DVASPECT);
    EXPECT_EQ(Bytes(data, CF_OEMTEXT, TYMED_ISTREAM | TYMED_HGLOBAL), "oem");
    EXPECT_EQ(Enumerated(data), (std::vector<TClipFormat>{CF_TEXT, CF_OEMTEXT}));
    std::unique_ptr<IEnumFormatEtc> none;
    EXPECT_EQ(data.EnumFormatEtc(DATADIR_SET, none), E_NOTIMPL);
    TStgMedium medium = Global("new");
    ASSERT_EQ(data.SetData(Format(CF_TEXT), medium, true), S_OK);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    EXPECT_EQ(data.Bytes(CF_TEXT), "new");
    data.SetReadOnly(true);
    medium = Global("refused");
    EXPECT_EQ(data.SetData(Format(CF_TEXT), medium, true), E_NOTIMPL);
    EXPECT_EQ(data.Written(), std::vector<TClipFormat>{CF_TEXT});
    // A copied medium: blocks are copies, streams are shared.
    TStgMedium copy;
    TStgMedium block = Global("x");
    ASSERT_EQ(CopyStgMedium(block, copy), S_OK);
    EXPECT_NE(copy.hGlobal, block.hGlobal);
    TStgMedium stream = Stream("y");
    ASSERT_EQ(CopyStgMedium(stream, copy), S_OK);
    EXPECT_EQ(copy.pstm, stream.pstm);
    EXPECT_EQ(CopyStgMedium(TStgMedium(), copy), E_INVALIDARG);
}
