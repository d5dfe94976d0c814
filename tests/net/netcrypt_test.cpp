// Block cipher tests: published DES, triple DES and AES vectors, the chaining modes against the
// SP 800-38A examples, and random data against the openssl command line as an oracle.
#include "net/netcrypt.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string Hex(const std::string& Bytes) {
    static const char* Digits = "0123456789abcdef";
    std::string Out;
    for (unsigned char C : Bytes) {
        Out += Digits[C >> 4];
        Out += Digits[C & 15];
    }
    return Out;
}

std::string Unhex(const std::string& Text) {
    std::string Out;
    for (size_t I = 0; I + 1 < Text.size(); I += 2)
        Out += static_cast<char>(std::stoi(Text.substr(I, 2), nullptr, 16));
    return Out;
}

std::string RandomBytes(size_t Count, unsigned Seed) {
    std::mt19937 Gen(Seed);
    std::string Out;
    for (size_t I = 0; I < Count; ++I)
        Out += static_cast<char>(Gen() & 0xFF);
    return Out;
}

// openssl enc over Data; empty text when the command fails.
std::string OpenSsl(const std::string& Cipher, const std::string& Key, const std::string& IV,
                    const std::string& Data, bool Decrypt, bool Legacy) {
    zt::test::TempDir Dir;
    zt::test::WriteFile(Dir.file("in"), Data);
    std::string Cmd = "openssl enc -" + Cipher + (Decrypt ? " -d" : "") + " -nopad -K " + Hex(Key);
    if (!IV.empty())
        Cmd += " -iv " + Hex(IV);
    if (Legacy)
        Cmd += " -provider legacy -provider default";
    Cmd += " -in " + Dir.file("in") + " -out " + Dir.file("out") + " 2>/dev/null";
    int Rc = -1;
    zt::test::RunCommand(Cmd, &Rc);
    return Rc == 0 ? zt::test::ReadFile(Dir.file("out")) : std::string();
}

} // namespace

TEST(NetCryptVectors, DesClassic) {
    TNetDes Des(Unhex("133457799bbcdff1"));
    EXPECT_EQ(Hex(Des.EncryptECB(Unhex("0123456789abcdef"))), "85e813540f0ab405");
    EXPECT_EQ(Hex(Des.DecryptECB(Unhex("85e813540f0ab405"))), "0123456789abcdef");
    TNetDes Now(Unhex("0123456789abcdef"));
    EXPECT_EQ(Hex(Now.EncryptECB("Now is t")), "3fa40e8a984d4815");
    EXPECT_EQ(Des.GetSize(), 8);
}

TEST(NetCryptVectors, TripleDesSp80067) {
    TNet3Des Des(Unhex("0123456789abcdef23456789abcdef01456789abcdef0123"));
    const std::string Plain = "The qufck brown fox jump";
    std::string Out;
    for (size_t I = 0; I < Plain.size(); I += 8)
        Out += Des.EncryptECB(Plain.substr(I, 8));
    EXPECT_EQ(Hex(Out), "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900");
    EXPECT_EQ(Des.DecryptECB(Unhex("a826fd8ce53b855f")), "The qufc");
}

TEST(NetCryptVectors, AesFips197) {
    const std::string Plain = Unhex("00112233445566778899aabbccddeeff");
    TNetAes A128(Unhex("000102030405060708090a0b0c0d0e0f"));
    EXPECT_EQ(Hex(A128.EncryptECB(Plain)), "69c4e0d86a7b0430d8cdb78070b4c55a");
    EXPECT_EQ(A128.DecryptECB(Unhex("69c4e0d86a7b0430d8cdb78070b4c55a")), Plain);
    TNetAes A192(Unhex("000102030405060708090a0b0c0d0e0f1011121314151617"));
    EXPECT_EQ(Hex(A192.EncryptECB(Plain)), "dda97ca4864cdfe06eaf70a0ec0d7191");
    EXPECT_EQ(A192.DecryptECB(Unhex("dda97ca4864cdfe06eaf70a0ec0d7191")), Plain);
    TNetAes A256(Unhex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"));
    EXPECT_EQ(Hex(A256.EncryptECB(Plain)), "8ea2b7ca516745bfeafc49904b496089");
    EXPECT_EQ(A256.DecryptECB(Unhex("8ea2b7ca516745bfeafc49904b496089")), Plain);
    EXPECT_EQ(A128.GetSize(), 16);
}

TEST(NetCryptVectors, AesModesSp80038a) {
    const std::string Key = Unhex("2b7e151628aed2a6abf7158809cf4f3c");
    const std::string IV = Unhex("000102030405060708090a0b0c0d0e0f");
    const std::string P = Unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    TNetAes Aes(Key);
    Aes.SetIV(IV);
    EXPECT_EQ(Hex(Aes.EncryptCBC(P)), "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");
    Aes.Reset();
    EXPECT_EQ(Hex(Aes.EncryptCFBblock(P)),
              "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b");
    Aes.Reset();
    EXPECT_EQ(Hex(Aes.EncryptOFB(P)), "3b3fd92eb72dad20333449f8e83cfb4a7789508d16918f03f53c52dac54ed825");
    Aes.Reset();
    EXPECT_EQ(Hex(Aes.EncryptCFB8bit(P.substr(0, 18))), "3b79424c9c0dd436bace9e0ed4586a4f32b9");
    Aes.SetIV(Unhex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff"));
    EXPECT_EQ(Hex(Aes.EncryptCTR(P)), "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff");
}

TEST(NetCryptModes, InitialVectorIsEncryptedZeroBlock) {
    TNetDes Des(Unhex("0123456789abcdef"));
    EXPECT_EQ(Des.GetIV(), Des.EncryptECB(std::string(8, '\0')));
    TNetAes Aes(Unhex("000102030405060708090a0b0c0d0e0f"));
    EXPECT_EQ(Aes.GetIV(), Aes.EncryptECB(std::string(16, '\0')));
}

// Every mode must give back the plain text, also when the data arrives in uneven pieces and
// ends in a partial block.
TEST(NetCryptModes, RoundTripInPieces) {
    const std::string Data = RandomBytes(77, 7);
    using Fn = std::string (TNetBlockCipher::*)(const std::string&);
    const std::pair<Fn, Fn> Modes[] = {{&TNetBlockCipher::EncryptCBC, &TNetBlockCipher::DecryptCBC},
                                       {&TNetBlockCipher::EncryptCFB8bit, &TNetBlockCipher::DecryptCFB8bit},
                                       {&TNetBlockCipher::EncryptCFBblock, &TNetBlockCipher::DecryptCFBblock},
                                       {&TNetBlockCipher::EncryptOFB, &TNetBlockCipher::DecryptOFB},
                                       {&TNetBlockCipher::EncryptCTR, &TNetBlockCipher::DecryptCTR}};
    TNetDes Des(RandomBytes(8, 1));
    TNet3Des Des3(RandomBytes(24, 2));
    TNetAes Aes(RandomBytes(32, 3));
    for (TNetBlockCipher* C : {static_cast<TNetBlockCipher*>(&Des), static_cast<TNetBlockCipher*>(&Des3),
                               static_cast<TNetBlockCipher*>(&Aes)}) {
        for (const auto& [Enc, Dec] : Modes) {
            C->Reset();
            const std::string Whole = (C->*Enc)(Data);
            ASSERT_EQ(Whole.size(), Data.size());
            EXPECT_NE(Whole, Data);
            C->Reset();
            // Stream modes keep their place across calls; CBC needs whole blocks per call.
            const size_t Cut = C->GetSize() * 2;
            std::string Pieces = (C->*Enc)(Data.substr(0, Cut));
            Pieces += (C->*Enc)(Data.substr(Cut));
            EXPECT_EQ(Pieces, Whole);
            C->Reset();
            EXPECT_EQ((C->*Dec)(Whole), Data);
        }
    }
}

TEST(NetCryptOracle, MatchesOpenSslCommandLine) {
    if (!zt::test::HaveProgram("openssl"))
        GTEST_SKIP() << "openssl not installed";
    const std::string Data = RandomBytes(64, 11);
    const std::string Key8 = RandomBytes(8, 12), Key24 = RandomBytes(24, 13), Key16 = RandomBytes(16, 14);
    const std::string Iv8 = RandomBytes(8, 15), Iv16 = RandomBytes(16, 16);

    TNetDes Des(Key8);
    Des.SetIV(Iv8);
    const std::string DesCbc = Des.EncryptCBC(Data);
    EXPECT_EQ(DesCbc, OpenSsl("des-cbc", Key8, Iv8, Data, false, true));
    EXPECT_EQ(Data, OpenSsl("des-cbc", Key8, Iv8, DesCbc, true, true));
    Des.Reset();
    EXPECT_EQ(Des.EncryptCFB8bit(Data), OpenSsl("des-cfb8", Key8, Iv8, Data, false, true));
    Des.Reset();
    EXPECT_EQ(Des.EncryptOFB(Data), OpenSsl("des-ofb", Key8, Iv8, Data, false, true));
    EXPECT_EQ(Des.EncryptECB(Data.substr(0, 8)),
              OpenSsl("des-ecb", Key8, "", Data.substr(0, 8), false, true));

    TNet3Des Des3(Key24);
    Des3.SetIV(Iv8);
    EXPECT_EQ(Des3.EncryptCBC(Data), OpenSsl("des-ede3-cbc", Key24, Iv8, Data, false, false));
    Des3.Reset();
    EXPECT_EQ(Des3.EncryptCFBblock(Data), OpenSsl("des-ede3-cfb", Key24, Iv8, Data, false, false));

    TNetAes Aes(Key16);
    Aes.SetIV(Iv16);
    EXPECT_EQ(Aes.EncryptCFBblock(Data), OpenSsl("aes-128-cfb", Key16, Iv16, Data, false, false));
    Aes.Reset();
    EXPECT_EQ(Aes.EncryptCBC(Data), OpenSsl("aes-128-cbc", Key16, Iv16, Data, false, false));
    Aes.Reset();
    EXPECT_EQ(Aes.EncryptCTR(Data), OpenSsl("aes-128-ctr", Key16, Iv16, Data, false, false));
    Aes.Reset();
    EXPECT_EQ(Aes.EncryptCFB8bit(Data), OpenSsl("aes-128-cfb8", Key16, Iv16, Data, false, false));
    const std::string Key32 = RandomBytes(32, 17);
    TNetAes Aes256(Key32);
    Aes256.SetIV(Iv16);
    EXPECT_EQ(Aes256.EncryptOFB(Data), OpenSsl("aes-256-ofb", Key32, Iv16, Data, false, false));
}
