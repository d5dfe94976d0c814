// Block ciphers for SNMPv3 privacy: DES, triple DES (EDE, 24-byte key) and AES, each usable in
// ECB, CBC, CFB (8-bit and block feedback), OFB and CTR over byte strings.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Base of the ciphers. A cipher created with a key starts with the initial vector set to the
// encryption of an all-zero block and the chain reset to it. The mode operations keep the chain
// (and the position inside a key-stream block) between calls, so a message may be processed in
// pieces. CBC works on whole blocks; a trailing partial block is XORed with the encryption of the
// chain (residual block termination) so the output always has the input's length.
class TNetBlockCipher {
public:
    virtual ~TNetBlockCipher() = default;

    virtual void InitKey(const std::string& Key) = 0;
    virtual int GetSize() const = 0;
    void SetIV(const std::string& Value);
    std::string GetIV() const;
    void Reset();
    // One block (GetSize() bytes); shorter input is padded with zero bytes, longer is cut.
    virtual std::string EncryptECB(const std::string& Block) const = 0;
    virtual std::string DecryptECB(const std::string& Block) const = 0;

    std::string EncryptCBC(const std::string& Data);
    std::string DecryptCBC(const std::string& Data);
    std::string EncryptCFB8bit(const std::string& Data);
    std::string DecryptCFB8bit(const std::string& Data);
    std::string EncryptCFBblock(const std::string& Data);
    std::string DecryptCFBblock(const std::string& Data);
    std::string EncryptOFB(const std::string& Data);
    std::string DecryptOFB(const std::string& Data);
    std::string EncryptCTR(const std::string& Data);
    std::string DecryptCTR(const std::string& Data);

protected:
    // Called by the concrete constructors once the key schedule exists.
    void InitVector();

private:
    std::string CfbBlock(const std::string& Data, bool Encrypt);
    std::string KeyStream(const std::string& Data, bool Counter);

    std::string IV_;
    std::string Chain_;
    std::string Stream_; // current key-stream block of the stream modes
    int StreamPos_ = 0;  // bytes of Stream_ already used
};

// Shared DES round machinery (FIPS 46-3).
class TNetCustomDes : public TNetBlockCipher {
public:
    int GetSize() const override { return 8; }

protected:
    using TSubKeys = std::array<uint64_t, 16>;
    static TSubKeys MakeSubKeys(const std::string& Key8);
    static uint64_t Crypt(uint64_t Block, const TSubKeys& Keys, bool Decrypt);
    static uint64_t Load(const std::string& Block);
    static std::string Store(uint64_t Value);
};

class TNetDes : public TNetCustomDes {
public:
    explicit TNetDes(const std::string& Key);
    void InitKey(const std::string& Key) override;
    std::string EncryptECB(const std::string& Block) const override;
    std::string DecryptECB(const std::string& Block) const override;

private:
    TSubKeys Keys_{};
};

// Triple DES EDE; a 24-byte key is K1 K2 K3 (shorter keys are padded with zero bytes).
class TNet3Des : public TNetCustomDes {
public:
    explicit TNet3Des(const std::string& Key);
    void InitKey(const std::string& Key) override;
    std::string EncryptECB(const std::string& Block) const override;
    std::string DecryptECB(const std::string& Block) const override;

private:
    std::array<TSubKeys, 3> Keys_{};
};

// AES (FIPS 197); the key length picks AES-128 (up to 16 bytes), AES-192 (up to 24) or AES-256.
class TNetAes : public TNetBlockCipher {
public:
    explicit TNetAes(const std::string& Key);
    void InitKey(const std::string& Key) override;
    int GetSize() const override { return 16; }
    std::string EncryptECB(const std::string& Block) const override;
    std::string DecryptECB(const std::string& Block) const override;

private:
    std::array<uint32_t, 60> RoundKeys_{};
    int Rounds_ = 10;
};
