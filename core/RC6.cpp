// RC6-32/20 with the settings file's own key fold; all arithmetic is modulo 2^32.
#include "core/RC6.h"

#include <bit>

namespace {

constexpr uint32_t P32 = 0xB7E15163u;
constexpr uint32_t Q32 = 0x9E3779B9u;
constexpr int Rounds = 20;
constexpr int FoldBytes = 64;

uint32_t LoadWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreWord(uint8_t* p, uint32_t w) {
    p[0] = uint8_t(w);
    p[1] = uint8_t(w >> 8);
    p[2] = uint8_t(w >> 16);
    p[3] = uint8_t(w >> 24);
}

void PrepareState(TRc6State& State, const QByteArray& Key) {
    Rc6SetKey(State, Key);
    Rc6KeySchedule(State);
}

} // namespace

uint32_t Rc6RotateLeft(uint32_t X, uint32_t N) {
    return std::rotl(X, int(N & 31));
}

uint32_t Rc6RotateRight(uint32_t X, uint32_t N) {
    return std::rotr(X, int(N & 31));
}

void Rc6SetKey(TRc6State& State, const QByteArray& Key) {
    State.Key = Key;
    State.L.fill(0);
    Rc6FoldKey(State);
}

void Rc6FoldKey(TRc6State& State) {
    if (State.Key.isEmpty()) {
        return;
    }
    QByteArray text = State.Key;
    for (qsizetype i = 0; text.size() % FoldBytes != 0; ++i) {
        text.append(text[i]);
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.constData());
    for (qsizetype pos = 0, j = 0; pos < text.size(); pos += 4, ++j) {
        const uint32_t k = LoadWord(bytes + pos);
        uint32_t& l = State.L[size_t(j % 16)];
        l = Rc6RotateLeft(l, k & 31) ^ k;
    }
}

void Rc6KeySchedule(TRc6State& State) {
    auto& S = State.S;
    auto& L = State.L;
    S[0] = P32;
    for (size_t i = 1; i < S.size(); ++i) {
        S[i] = S[i - 1] + Q32;
    }
    uint32_t A = 0, B = 0;
    size_t i = 0, j = 0;
    for (int v = 0; v < 3 * 44; ++v) {
        A = S[i] = Rc6RotateLeft(S[i] + A + B, 3);
        B = L[j] = Rc6RotateLeft(L[j] + A + B, A + B);
        i = (i + 1) % S.size();
        j = (j + 1) % L.size();
    }
}

// The rounds are written out four at a time with the word roles rotated in the names, so no
// per-round call or word shuffle is left, and the rotations compile to single instructions.
#define RC6_ENC_ROUND(A, B, C, D, K)                                                                         \
    do {                                                                                                     \
        const uint32_t t = std::rotl(B * (2 * B + 1), 5);                                                    \
        const uint32_t u = std::rotl(D * (2 * D + 1), 5);                                                    \
        A = std::rotl(A ^ t, int(u & 31)) + S[K];                                                            \
        C = std::rotl(C ^ u, int(t & 31)) + S[(K) + 1];                                                      \
    } while (0)

#define RC6_DEC_ROUND(A, B, C, D, K)                                                                         \
    do {                                                                                                     \
        const uint32_t u = std::rotl(D * (2 * D + 1), 5);                                                    \
        const uint32_t t = std::rotl(B * (2 * B + 1), 5);                                                    \
        C = std::rotr(C - S[(K) + 1], int(t & 31)) ^ u;                                                      \
        A = std::rotr(A - S[K], int(u & 31)) ^ t;                                                            \
    } while (0)

void Rc6EncryptBlock(const TRc6State& State, uint8_t* Block) {
    const uint32_t* S = State.S.data();
    uint32_t A = LoadWord(Block), B = LoadWord(Block + 4), C = LoadWord(Block + 8), D = LoadWord(Block + 12);
    B += S[0];
    D += S[1];
    for (int k = 2; k < 2 * Rounds + 2; k += 8) {
        RC6_ENC_ROUND(A, B, C, D, k);
        RC6_ENC_ROUND(B, C, D, A, k + 2);
        RC6_ENC_ROUND(C, D, A, B, k + 4);
        RC6_ENC_ROUND(D, A, B, C, k + 6);
    }
    A += S[42];
    C += S[43];
    StoreWord(Block, A);
    StoreWord(Block + 4, B);
    StoreWord(Block + 8, C);
    StoreWord(Block + 12, D);
}

void Rc6DecryptBlock(const TRc6State& State, uint8_t* Block) {
    const uint32_t* S = State.S.data();
    uint32_t A = LoadWord(Block), B = LoadWord(Block + 4), C = LoadWord(Block + 8), D = LoadWord(Block + 12);
    C -= S[43];
    A -= S[42];
    // Round i undoes with the roles (D, A, B, C) of the word names before it; four rounds bring the
    // names back to where they started.
    for (int k = 2 * Rounds; k >= 2; k -= 8) {
        RC6_DEC_ROUND(D, A, B, C, k);
        RC6_DEC_ROUND(C, D, A, B, k - 2);
        RC6_DEC_ROUND(B, C, D, A, k - 4);
        RC6_DEC_ROUND(A, B, C, D, k - 6);
    }
    D -= S[1];
    B -= S[0];
    StoreWord(Block, A);
    StoreWord(Block + 4, B);
    StoreWord(Block + 8, C);
    StoreWord(Block + 12, D);
}

#undef RC6_ENC_ROUND
#undef RC6_DEC_ROUND

bool Rc6EncryptStreamInPlace(QIODevice& Stream, const QByteArray& Key, qint64 Count) {
    if (Count < 0) {
        return false;
    }
    if (Key.isEmpty()) {
        return Stream.seek(Stream.pos() + Count);
    }
    TRc6State state;
    PrepareState(state, Key);
    uint8_t block[Rc6BlockSize];
    for (qint64 left = Count; left >= Rc6BlockSize; left -= Rc6BlockSize) {
        const qint64 at = Stream.pos();
        if (Stream.read(reinterpret_cast<char*>(block), Rc6BlockSize) != Rc6BlockSize) {
            return false;
        }
        Rc6EncryptBlock(state, block);
        if (!Stream.seek(at) ||
            Stream.write(reinterpret_cast<const char*>(block), Rc6BlockSize) != Rc6BlockSize) {
            return false;
        }
    }
    return true;
}

bool Rc6DecryptStream(QIODevice& Dest, QIODevice& Source, const QByteArray& Key, qint64 Count) {
    if (Count < 0) {
        return false;
    }
    TRc6State state;
    if (!Key.isEmpty()) {
        PrepareState(state, Key);
    }
    uint8_t block[Rc6BlockSize];
    qint64 left = Count;
    for (; left >= Rc6BlockSize; left -= Rc6BlockSize) {
        if (Source.read(reinterpret_cast<char*>(block), Rc6BlockSize) != Rc6BlockSize) {
            return false;
        }
        if (!Key.isEmpty()) {
            Rc6DecryptBlock(state, block);
        }
        if (Dest.write(reinterpret_cast<const char*>(block), Rc6BlockSize) != Rc6BlockSize) {
            return false;
        }
    }
    if (left == 0) {
        return true;
    }
    const QByteArray tail = Source.read(left);
    return tail.size() == left && Dest.write(tail) == left;
}

namespace {

// Whole blocks in place, the tail left as it is: the stream operations' result without a stream.
template <void (*Block)(const TRc6State&, uint8_t*)>
QByteArray CipherWholeBlocks(QByteArray Bytes, const QByteArray& Key) {
    if (Key.isEmpty()) {
        return Bytes;
    }
    TRc6State state;
    PrepareState(state, Key);
    auto* p = reinterpret_cast<uint8_t*>(Bytes.data());
    for (qsizetype at = 0; at + Rc6BlockSize <= Bytes.size(); at += Rc6BlockSize) {
        Block(state, p + at);
    }
    return Bytes;
}

} // namespace

QByteArray Rc6EncryptBytes(const QByteArray& Plain, const QByteArray& Key) {
    return CipherWholeBlocks<Rc6EncryptBlock>(Plain, Key);
}

QByteArray Rc6DecryptBytes(const QByteArray& Ciphered, const QByteArray& Key) {
    return CipherWholeBlocks<Rc6DecryptBlock>(Ciphered, Key);
}
