// RC6-32/20: the published vectors through the block functions (round keys from the published
// schedule for 4, 6 and 8 key words), the settings fold against that schedule, and the stream
// operations' whole-block, plain-tail, empty-key and failure contracts.
#include "core/RC6.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

// The published key schedule: c = ceil(b / 4) key words, v = 3 * max(c, 44) mixing steps.
TRc6State PublishedSchedule(const QByteArray& Key, std::vector<uint32_t>* Loaded = nullptr) {
    const size_t c = std::max<size_t>(1, size_t(Key.size() + 3) / 4);
    std::vector<uint32_t> L(c, 0);
    for (qsizetype i = Key.size() - 1; i >= 0; --i) {
        L[size_t(i) / 4] = (L[size_t(i) / 4] << 8) + uint8_t(Key[i]);
    }
    if (Loaded) {
        *Loaded = L;
    }
    TRc6State state;
    state.S[0] = 0xB7E15163u;
    for (size_t i = 1; i < 44; ++i) {
        state.S[i] = state.S[i - 1] + 0x9E3779B9u;
    }
    uint32_t A = 0, B = 0;
    size_t i = 0, j = 0;
    for (size_t s = 0; s < 3 * std::max<size_t>(c, 44); ++s) {
        A = state.S[i] = Rc6RotateLeft(state.S[i] + A + B, 3);
        B = L[j] = Rc6RotateLeft(L[j] + A + B, A + B);
        i = (i + 1) % 44;
        j = (j + 1) % c;
    }
    return state;
}

QByteArray Hex(const char* Text) {
    return QByteArray::fromHex(Text);
}

struct TVector {
    const char* Key;
    const char* Plain;
    const char* Cipher;
};

const TVector PublishedVectors[] = {
    {"00000000000000000000000000000000", "00000000000000000000000000000000",
     "8fc3a53656b1f778c129df4e9848a41e"},
    {"0123456789abcdef0112233445566778", "02132435465768798a9bacbdcedfe0f1",
     "524e192f4715c6231f51f6367ea43f18"},
    {"000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "6cd61bcb190b30384e8a3f168690ae82"},
    {"0123456789abcdef0112233445566778899aabbccddeeff0", "02132435465768798a9bacbdcedfe0f1",
     "688329d019e505041e52e92af95291d4"},
    {"0000000000000000000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "8f5fbd0510d15fa893fa3fda6e857ec2"},
    {"0123456789abcdef0112233445566778899aabbccddeeff01032547698badcfe", "02132435465768798a9bacbdcedfe0f1",
     "c8241816f0d7e48920ad16a1674e5d48"},
};

TEST(Rc6Test, PublishedVectorsThroughTheBlockFunctions) {
    for (const TVector& v : PublishedVectors) {
        SCOPED_TRACE(v.Key);
        const TRc6State state = PublishedSchedule(Hex(v.Key));
        QByteArray block = Hex(v.Plain);
        Rc6EncryptBlock(state, reinterpret_cast<uint8_t*>(block.data()));
        EXPECT_EQ(block.toHex(), QByteArray(v.Cipher));
        Rc6DecryptBlock(state, reinterpret_cast<uint8_t*>(block.data()));
        EXPECT_EQ(block.toHex(), QByteArray(v.Plain));
    }
}

TEST(Rc6Test, SixtyFourByteKeyGivesThePublishedLoadAndRoundKeys) {
    QByteArray key;
    for (int i = 0; i < 64; ++i) {
        key.append(char(i * 37 + 11));
    }
    std::vector<uint32_t> loaded;
    const TRc6State published = PublishedSchedule(key, &loaded);
    ASSERT_EQ(loaded.size(), 16u);
    TRc6State ours;
    Rc6SetKey(ours, key);
    EXPECT_EQ(std::vector<uint32_t>(ours.L.begin(), ours.L.end()), loaded);
    Rc6KeySchedule(ours);
    EXPECT_EQ(ours.S, published.S);
}

TEST(Rc6Test, TwelveLetterKeyIsRepeatedToSixtyFourBytes) {
    TRc6State state;
    Rc6SetKey(state, "Marblesplint");
    const QByteArray extended = QByteArray("Marblesplint").repeated(5) + "Marb";
    ASSERT_EQ(extended.size(), 64);
    std::vector<uint32_t> expected;
    PublishedSchedule(extended, &expected);
    EXPECT_EQ(std::vector<uint32_t>(state.L.begin(), state.L.end()), expected);
    EXPECT_EQ(state.Key, QByteArray("Marblesplint"));
}

TEST(Rc6Test, LongerKeysFoldOverTheSixteenWords) {
    // 68 bytes extend to 128: word j and word j + 16 share L[j].
    const QByteArray key = QByteArray("0123456789").repeated(7).left(68);
    TRc6State state;
    Rc6SetKey(state, key);
    QByteArray extended = key;
    for (qsizetype i = 0; extended.size() % 64 != 0; ++i) {
        extended.append(key[i % key.size()]);
    }
    ASSERT_EQ(extended.size(), 128);
    auto word = [&](int j) {
        const auto* p = reinterpret_cast<const uint8_t*>(extended.constData()) + 4 * j;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    };
    for (int j = 0; j < 16; ++j) {
        const uint32_t first = word(j);
        const uint32_t second = word(j + 16);
        EXPECT_EQ(state.L[size_t(j)], Rc6RotateLeft(first, second & 31) ^ second) << j;
    }
}

TEST(Rc6Test, RotationsTakeTheAmountModulo32) {
    EXPECT_EQ(Rc6RotateLeft(0x80000001u, 1), 0x00000003u);
    EXPECT_EQ(Rc6RotateLeft(0x12345678u, 0), 0x12345678u);
    EXPECT_EQ(Rc6RotateLeft(0x12345678u, 32), 0x12345678u);
    EXPECT_EQ(Rc6RotateLeft(0x12345678u, 36), 0x23456781u);
    EXPECT_EQ(Rc6RotateRight(0x00000003u, 1), 0x80000001u);
    EXPECT_EQ(Rc6RotateRight(0x23456781u, 4 + 64), 0x12345678u);
}

TEST(Rc6Test, FileShorterThanABlockStaysPlain) {
    const QByteArray plain = "fifteen bytes!!";
    ASSERT_EQ(plain.size(), 15);
    EXPECT_EQ(Rc6EncryptBytes(plain, "Marblesplint"), plain);
    EXPECT_EQ(Rc6DecryptBytes(plain, "Marblesplint"), plain);
}

TEST(Rc6Test, ThirtyFiveBytesAreTwoIndependentBlocksAndAPlainTail) {
    const QByteArray plain = QByteArray("ABCDEFGHIJKLMNOP").repeated(2) + "xyz";
    const QByteArray ciphered = Rc6EncryptBytes(plain, "Marblesplint");
    ASSERT_EQ(ciphered.size(), 35);
    EXPECT_EQ(ciphered.mid(0, 16), ciphered.mid(16, 16));
    EXPECT_NE(ciphered.mid(0, 16), plain.mid(0, 16));
    EXPECT_EQ(ciphered.mid(32), QByteArray("xyz"));
    // Each block is the published cipher under the 64-byte extended key.
    const TRc6State published = PublishedSchedule(QByteArray("Marblesplint").repeated(5) + "Marb");
    QByteArray block = plain.left(16);
    Rc6EncryptBlock(published, reinterpret_cast<uint8_t*>(block.data()));
    EXPECT_EQ(ciphered.left(16), block);
    EXPECT_EQ(Rc6DecryptBytes(ciphered, "Marblesplint"), plain);
}

TEST(Rc6Test, ByteStringsMatchTheStreamOperations) {
    QByteArray plain;
    for (int n = 0; n < 70; ++n) {
        plain.append(char(n * 13 + 1));
    }
    QByteArray streamed = plain;
    QBuffer stream(&streamed);
    ASSERT_TRUE(stream.open(QIODevice::ReadWrite));
    EXPECT_TRUE(Rc6EncryptStreamInPlace(stream, "Marblesplint", streamed.size()));
    EXPECT_EQ(Rc6EncryptBytes(plain, "Marblesplint"), streamed);
    QByteArray source = streamed, copied;
    QBuffer in(&source), out(&copied);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    EXPECT_TRUE(Rc6DecryptStream(out, in, "Marblesplint", source.size()));
    EXPECT_EQ(copied, plain);
    EXPECT_EQ(Rc6DecryptBytes(streamed, "Marblesplint"), plain);
}

TEST(Rc6Test, RoundTripKeepsEveryLengthExactly) {
    QByteArray plain;
    for (int n = 0; n < 70; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Rc6DecryptBytes(Rc6EncryptBytes(plain, "k"), "k"), plain);
        plain.append(char(n * 7));
    }
}

TEST(Rc6Test, EmptyKeyChangesNothingAndCopies) {
    QByteArray bytes = "0123456789abcdef0123456789abcdefXY";
    QBuffer stream(&bytes);
    ASSERT_TRUE(stream.open(QIODevice::ReadWrite));
    ASSERT_TRUE(stream.seek(2));
    EXPECT_TRUE(Rc6EncryptStreamInPlace(stream, QByteArray(), 20));
    EXPECT_EQ(stream.pos(), 22);
    EXPECT_EQ(bytes, QByteArray("0123456789abcdef0123456789abcdefXY"));
    EXPECT_EQ(Rc6DecryptBytes(bytes, QByteArray()), bytes);
}

TEST(Rc6Test, EncipherStartsAtThePositionAndCoversCountOnly) {
    const QByteArray original = QByteArray("<<") + QByteArray("ABCDEFGHIJKLMNOP").repeated(2) + "tail";
    QByteArray bytes = original;
    QBuffer stream(&bytes);
    ASSERT_TRUE(stream.open(QIODevice::ReadWrite));
    ASSERT_TRUE(stream.seek(2));
    EXPECT_TRUE(Rc6EncryptStreamInPlace(stream, "key", 20)); // one whole block, 4 bytes left alone
    EXPECT_EQ(bytes.left(2), QByteArray("<<"));
    EXPECT_NE(bytes.mid(2, 16), original.mid(2, 16));
    EXPECT_EQ(bytes.mid(18), original.mid(18));
    EXPECT_EQ(stream.pos(), 18);
}

TEST(Rc6Test, StreamFailuresGiveFalse) {
    QByteArray bytes = QByteArray(32, 'a');
    QBuffer readOnly(&bytes);
    ASSERT_TRUE(readOnly.open(QIODevice::ReadOnly));
    EXPECT_FALSE(Rc6EncryptStreamInPlace(readOnly, "key", 32));
    EXPECT_EQ(bytes, QByteArray(32, 'a'));

    QByteArray shortSource = QByteArray(20, 'b');
    QByteArray out;
    QBuffer in(&shortSource), dest(&out);
    in.open(QIODevice::ReadOnly);
    dest.open(QIODevice::WriteOnly);
    EXPECT_FALSE(Rc6DecryptStream(dest, in, "key", 40)); // fewer bytes than asked for
    EXPECT_EQ(out.size(), 16);                           // the whole block before the failure
    QByteArray source = QByteArray(20, 'c');
    QBuffer in2(&source), closed;
    in2.open(QIODevice::ReadOnly);
    EXPECT_FALSE(Rc6DecryptStream(closed, in2, "key", 20));
}

} // namespace
