// Block ciphers for SNMPv3 privacy: DES/3DES (FIPS 46-3) and AES (FIPS 197) with the common
// chaining modes of SP 800-38A plus 8-bit CFB.
#include "net/netcrypt.h"

#include <algorithm>

namespace {

std::string FitBlock(const std::string& Block, int Size) {
    std::string Out = Block.substr(0, static_cast<size_t>(Size));
    Out.resize(static_cast<size_t>(Size), '\0');
    return Out;
}

// ---- DES tables ----
constexpr uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr uint8_t kFP[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                             38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                             36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                             34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};
constexpr uint8_t kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                            12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                            22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                              35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                              46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr uint8_t kSBox[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Output bit i (counted from the most significant, 1-based positions in Table) takes input bit
// Table[i] of an InBits-wide value.
uint64_t Permute(uint64_t In, int InBits, const uint8_t* Table, int OutBits) {
    uint64_t Out = 0;
    for (int I = 0; I < OutBits; ++I)
        Out = (Out << 1) | ((In >> (InBits - Table[I])) & 1u);
    return Out;
}

uint32_t Feistel(uint32_t R, uint64_t SubKey) {
    const uint64_t X = Permute(R, 32, kE, 48) ^ SubKey;
    uint32_t S = 0;
    for (int Box = 0; Box < 8; ++Box) {
        const unsigned Six = static_cast<unsigned>((X >> (42 - 6 * Box)) & 0x3F);
        const unsigned Row = ((Six & 0x20) >> 4) | (Six & 1);
        const unsigned Col = (Six >> 1) & 0x0F;
        S = (S << 4) | kSBox[Box][Row * 16 + Col];
    }
    return static_cast<uint32_t>(Permute(S, 32, kP, 32));
}

// ---- AES tables, computed once ----
uint8_t XTime(uint8_t V) {
    return static_cast<uint8_t>((V << 1) ^ ((V & 0x80) ? 0x1B : 0));
}

uint8_t GfMul(uint8_t A, uint8_t B) {
    uint8_t R = 0;
    while (B) {
        if (B & 1)
            R ^= A;
        A = XTime(A);
        B >>= 1;
    }
    return R;
}

struct TAesTables {
    uint8_t SBox[256];
    uint8_t InvSBox[256];
    TAesTables() {
        for (int I = 0; I < 256; ++I) {
            uint8_t Inv = 0;
            for (int J = 1; I && J < 256; ++J)
                if (GfMul(static_cast<uint8_t>(I), static_cast<uint8_t>(J)) == 1) {
                    Inv = static_cast<uint8_t>(J);
                    break;
                }
            uint8_t S = Inv;
            uint8_t X = Inv;
            for (int K = 0; K < 4; ++K) {
                X = static_cast<uint8_t>((X << 1) | (X >> 7));
                S ^= X;
            }
            S ^= 0x63;
            SBox[I] = S;
            InvSBox[S] = static_cast<uint8_t>(I);
        }
    }
};

const TAesTables& Aes() {
    static const TAesTables Tables;
    return Tables;
}

uint32_t SubWord(uint32_t W) {
    const auto& T = Aes();
    return (uint32_t(T.SBox[W >> 24]) << 24) | (uint32_t(T.SBox[(W >> 16) & 0xFF]) << 16) |
           (uint32_t(T.SBox[(W >> 8) & 0xFF]) << 8) | T.SBox[W & 0xFF];
}

void AddRoundKey(uint8_t* State, const uint32_t* W) {
    for (int C = 0; C < 4; ++C)
        for (int R = 0; R < 4; ++R)
            State[4 * C + R] ^= static_cast<uint8_t>(W[C] >> (24 - 8 * R));
}

void MixColumn(uint8_t* Col, bool Inverse) {
    const uint8_t A0 = Col[0], A1 = Col[1], A2 = Col[2], A3 = Col[3];
    const uint8_t M[4] = {static_cast<uint8_t>(Inverse ? 14 : 2), static_cast<uint8_t>(Inverse ? 11 : 3),
                          static_cast<uint8_t>(Inverse ? 13 : 1), static_cast<uint8_t>(Inverse ? 9 : 1)};
    Col[0] = GfMul(A0, M[0]) ^ GfMul(A1, M[1]) ^ GfMul(A2, M[2]) ^ GfMul(A3, M[3]);
    Col[1] = GfMul(A0, M[3]) ^ GfMul(A1, M[0]) ^ GfMul(A2, M[1]) ^ GfMul(A3, M[2]);
    Col[2] = GfMul(A0, M[2]) ^ GfMul(A1, M[3]) ^ GfMul(A2, M[0]) ^ GfMul(A3, M[1]);
    Col[3] = GfMul(A0, M[1]) ^ GfMul(A1, M[2]) ^ GfMul(A2, M[3]) ^ GfMul(A3, M[0]);
}

void ShiftRows(uint8_t* State, bool Inverse) {
    uint8_t Copy[16];
    std::copy(State, State + 16, Copy);
    for (int R = 1; R < 4; ++R)
        for (int C = 0; C < 4; ++C) {
            const int From = Inverse ? (C - R + 4) % 4 : (C + R) % 4;
            State[4 * C + R] = Copy[4 * From + R];
        }
}

} // namespace

// ---- chaining modes ----

void TNetBlockCipher::SetIV(const std::string& Value) {
    IV_ = FitBlock(Value, GetSize());
    Reset();
}

std::string TNetBlockCipher::GetIV() const {
    return IV_;
}

void TNetBlockCipher::Reset() {
    Chain_ = IV_;
    Stream_.clear();
    StreamPos_ = 0;
}

void TNetBlockCipher::InitVector() {
    IV_ = EncryptECB(std::string(static_cast<size_t>(GetSize()), '\0'));
    Reset();
}

std::string TNetBlockCipher::EncryptCBC(const std::string& Data) {
    const size_t Bs = static_cast<size_t>(GetSize());
    std::string Out;
    Out.reserve(Data.size());
    size_t I = 0;
    for (; I + Bs <= Data.size(); I += Bs) {
        std::string Block = Data.substr(I, Bs);
        for (size_t K = 0; K < Bs; ++K)
            Block[K] = static_cast<char>(Block[K] ^ Chain_[K]);
        Chain_ = EncryptECB(Block);
        Out += Chain_;
    }
    if (I < Data.size()) {
        const std::string Pad = EncryptECB(Chain_);
        for (size_t K = 0; I + K < Data.size(); ++K)
            Out += static_cast<char>(Data[I + K] ^ Pad[K]);
    }
    return Out;
}

std::string TNetBlockCipher::DecryptCBC(const std::string& Data) {
    const size_t Bs = static_cast<size_t>(GetSize());
    std::string Out;
    Out.reserve(Data.size());
    size_t I = 0;
    for (; I + Bs <= Data.size(); I += Bs) {
        const std::string Block = Data.substr(I, Bs);
        std::string Plain = DecryptECB(Block);
        for (size_t K = 0; K < Bs; ++K)
            Plain[K] = static_cast<char>(Plain[K] ^ Chain_[K]);
        Chain_ = Block;
        Out += Plain;
    }
    if (I < Data.size()) {
        const std::string Pad = EncryptECB(Chain_);
        for (size_t K = 0; I + K < Data.size(); ++K)
            Out += static_cast<char>(Data[I + K] ^ Pad[K]);
    }
    return Out;
}

std::string TNetBlockCipher::EncryptCFB8bit(const std::string& Data) {
    std::string Out;
    Out.reserve(Data.size());
    for (char P : Data) {
        const char C = static_cast<char>(P ^ EncryptECB(Chain_)[0]);
        Chain_ = Chain_.substr(1) + C;
        Out += C;
    }
    return Out;
}

std::string TNetBlockCipher::DecryptCFB8bit(const std::string& Data) {
    std::string Out;
    Out.reserve(Data.size());
    for (char C : Data) {
        Out += static_cast<char>(C ^ EncryptECB(Chain_)[0]);
        Chain_ = Chain_.substr(1) + C;
    }
    return Out;
}

// Block-feedback CFB as a byte stream: the cipher text of the current block is written into
// the chain as it is produced, and a new key-stream block is drawn once the chain is full.
std::string TNetBlockCipher::CfbBlock(const std::string& Data, bool Encrypt) {
    const int Bs = GetSize();
    std::string Out;
    Out.reserve(Data.size());
    for (char In : Data) {
        if (Stream_.empty() || StreamPos_ >= Bs) {
            Stream_ = EncryptECB(Chain_);
            StreamPos_ = 0;
        }
        const char X = static_cast<char>(In ^ Stream_[static_cast<size_t>(StreamPos_)]);
        Chain_[static_cast<size_t>(StreamPos_)] = Encrypt ? X : In;
        ++StreamPos_;
        Out += X;
    }
    return Out;
}

std::string TNetBlockCipher::EncryptCFBblock(const std::string& Data) {
    return CfbBlock(Data, true);
}

std::string TNetBlockCipher::DecryptCFBblock(const std::string& Data) {
    return CfbBlock(Data, false);
}

// OFB feeds the key stream back; CTR encrypts a big-endian counter that starts at the IV.
std::string TNetBlockCipher::KeyStream(const std::string& Data, bool Counter) {
    const int Bs = GetSize();
    std::string Out;
    Out.reserve(Data.size());
    for (char In : Data) {
        if (Stream_.empty() || StreamPos_ >= Bs) {
            Stream_ = EncryptECB(Chain_);
            StreamPos_ = 0;
            if (!Counter) {
                Chain_ = Stream_;
            } else {
                for (int K = Bs - 1; K >= 0; --K)
                    if (++Chain_[static_cast<size_t>(K)] != '\0')
                        break;
            }
        }
        Out += static_cast<char>(In ^ Stream_[static_cast<size_t>(StreamPos_++)]);
    }
    return Out;
}

std::string TNetBlockCipher::EncryptOFB(const std::string& Data) {
    return KeyStream(Data, false);
}

std::string TNetBlockCipher::DecryptOFB(const std::string& Data) {
    return KeyStream(Data, false);
}

std::string TNetBlockCipher::EncryptCTR(const std::string& Data) {
    return KeyStream(Data, true);
}

std::string TNetBlockCipher::DecryptCTR(const std::string& Data) {
    return KeyStream(Data, true);
}

// ---- DES ----

TNetCustomDes::TSubKeys TNetCustomDes::MakeSubKeys(const std::string& Key8) {
    TSubKeys Keys{};
    const uint64_t K56 = Permute(Load(Key8), 64, kPC1, 56);
    uint32_t C = static_cast<uint32_t>(K56 >> 28) & 0x0FFFFFFF;
    uint32_t D = static_cast<uint32_t>(K56) & 0x0FFFFFFF;
    for (int Round = 0; Round < 16; ++Round) {
        const int S = kShifts[Round];
        C = ((C << S) | (C >> (28 - S))) & 0x0FFFFFFF;
        D = ((D << S) | (D >> (28 - S))) & 0x0FFFFFFF;
        Keys[static_cast<size_t>(Round)] = Permute((uint64_t(C) << 28) | D, 56, kPC2, 48);
    }
    return Keys;
}

uint64_t TNetCustomDes::Crypt(uint64_t Block, const TSubKeys& Keys, bool Decrypt) {
    const uint64_t X = Permute(Block, 64, kIP, 64);
    uint32_t L = static_cast<uint32_t>(X >> 32);
    uint32_t R = static_cast<uint32_t>(X);
    for (int Round = 0; Round < 16; ++Round) {
        const uint64_t K = Keys[static_cast<size_t>(Decrypt ? 15 - Round : Round)];
        const uint32_t Next = L ^ Feistel(R, K);
        L = R;
        R = Next;
    }
    return Permute((uint64_t(R) << 32) | L, 64, kFP, 64);
}

uint64_t TNetCustomDes::Load(const std::string& Block) {
    const std::string B = FitBlock(Block, 8);
    uint64_t V = 0;
    for (char C : B)
        V = (V << 8) | static_cast<uint8_t>(C);
    return V;
}

std::string TNetCustomDes::Store(uint64_t Value) {
    std::string Out(8, '\0');
    for (int I = 7; I >= 0; --I) {
        Out[static_cast<size_t>(I)] = static_cast<char>(Value & 0xFF);
        Value >>= 8;
    }
    return Out;
}

TNetDes::TNetDes(const std::string& Key) {
    TNetDes::InitKey(Key);
}

void TNetDes::InitKey(const std::string& Key) {
    Keys_ = MakeSubKeys(FitBlock(Key, 8));
    InitVector();
}

std::string TNetDes::EncryptECB(const std::string& Block) const {
    return Store(Crypt(Load(Block), Keys_, false));
}

std::string TNetDes::DecryptECB(const std::string& Block) const {
    return Store(Crypt(Load(Block), Keys_, true));
}

TNet3Des::TNet3Des(const std::string& Key) {
    TNet3Des::InitKey(Key);
}

void TNet3Des::InitKey(const std::string& Key) {
    const std::string K = FitBlock(Key, 24);
    for (size_t I = 0; I < 3; ++I)
        Keys_[I] = MakeSubKeys(K.substr(8 * I, 8));
    InitVector();
}

std::string TNet3Des::EncryptECB(const std::string& Block) const {
    uint64_t V = Crypt(Load(Block), Keys_[0], false);
    V = Crypt(V, Keys_[1], true);
    return Store(Crypt(V, Keys_[2], false));
}

std::string TNet3Des::DecryptECB(const std::string& Block) const {
    uint64_t V = Crypt(Load(Block), Keys_[2], true);
    V = Crypt(V, Keys_[1], false);
    return Store(Crypt(V, Keys_[0], true));
}

// ---- AES ----

TNetAes::TNetAes(const std::string& Key) {
    TNetAes::InitKey(Key);
}

void TNetAes::InitKey(const std::string& Key) {
    const int Nk = Key.size() <= 16 ? 4 : Key.size() <= 24 ? 6 : 8;
    const std::string K = FitBlock(Key, 4 * Nk);
    Rounds_ = Nk + 6;
    const int Total = 4 * (Rounds_ + 1);
    uint8_t Rcon = 1;
    for (int I = 0; I < Total; ++I) {
        if (I < Nk) {
            uint32_t W = 0;
            for (int B = 0; B < 4; ++B)
                W = (W << 8) | static_cast<uint8_t>(K[static_cast<size_t>(4 * I + B)]);
            RoundKeys_[static_cast<size_t>(I)] = W;
            continue;
        }
        uint32_t T = RoundKeys_[static_cast<size_t>(I - 1)];
        if (I % Nk == 0) {
            T = SubWord((T << 8) | (T >> 24)) ^ (uint32_t(Rcon) << 24);
            Rcon = XTime(Rcon);
        } else if (Nk > 6 && I % Nk == 4) {
            T = SubWord(T);
        }
        RoundKeys_[static_cast<size_t>(I)] = RoundKeys_[static_cast<size_t>(I - Nk)] ^ T;
    }
    InitVector();
}

std::string TNetAes::EncryptECB(const std::string& Block) const {
    const auto& T = Aes();
    std::string B = FitBlock(Block, 16);
    uint8_t S[16];
    std::copy(B.begin(), B.end(), S);
    AddRoundKey(S, &RoundKeys_[0]);
    for (int Round = 1; Round <= Rounds_; ++Round) {
        for (uint8_t& V : S)
            V = T.SBox[V];
        ShiftRows(S, false);
        if (Round != Rounds_)
            for (int C = 0; C < 4; ++C)
                MixColumn(S + 4 * C, false);
        AddRoundKey(S, &RoundKeys_[static_cast<size_t>(4 * Round)]);
    }
    return std::string(reinterpret_cast<const char*>(S), 16);
}

std::string TNetAes::DecryptECB(const std::string& Block) const {
    const auto& T = Aes();
    std::string B = FitBlock(Block, 16);
    uint8_t S[16];
    std::copy(B.begin(), B.end(), S);
    AddRoundKey(S, &RoundKeys_[static_cast<size_t>(4 * Rounds_)]);
    for (int Round = Rounds_ - 1; Round >= 0; --Round) {
        ShiftRows(S, true);
        for (uint8_t& V : S)
            V = T.InvSBox[V];
        AddRoundKey(S, &RoundKeys_[static_cast<size_t>(4 * Round)]);
        if (Round != 0)
            for (int C = 0; C < 4; ++C)
                MixColumn(S + 4 * C, true);
    }
    return std::string(reinterpret_cast<const char*>(S), 16);
}
