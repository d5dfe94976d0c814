// Codings shared by the clients: %-decoding, Base64 and the digests (on the crypto library's primitives).
#include "net/netcode.h"

#include "net/netutil.h"

#include <algorithm>
#include <cstdint>

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Digest of Value repeated until Len bytes went in.
std::string LongDigest(const EVP_MD* Md, const std::string& Value, std::size_t Len) {
    std::string out(EVP_MAX_MD_SIZE, '\0');
    unsigned int size = 0;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (ctx == nullptr)
        return {};
    EVP_DigestInit_ex(ctx, Md, nullptr);
    if (!Value.empty()) {
        for (std::size_t done = 0; done < Len;) {
            const std::size_t n = std::min(Value.size(), Len - done);
            EVP_DigestUpdate(ctx, Value.data(), n);
            done += n;
        }
    }
    EVP_DigestFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()), &size);
    EVP_MD_CTX_free(ctx);
    out.resize(size);
    return out;
}

std::string Hmac(const EVP_MD* Md, const std::string& Text, const std::string& Key) {
    std::string out(EVP_MAX_MD_SIZE, '\0');
    unsigned int size = 0;
    HMAC(Md, Key.data(), static_cast<int>(Key.size()), reinterpret_cast<const unsigned char*>(Text.data()),
         Text.size(), reinterpret_cast<unsigned char*>(out.data()), &size);
    out.resize(size);
    return out;
}

} // namespace

std::string DecodeURL(const std::string& Text) {
    std::string out;
    out.reserve(Text.size());
    const std::size_t n = Text.size();
    for (std::size_t i = 0; i < n;) {
        const char c = Text[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 2 >= n) // a "%" among the last two characters ends the text
            break;
        if (IsLineEnd(Text[i + 1])) {
            i += 2;
            if (i < n && IsLineEnd(Text[i]) && Text[i] != Text[i - 1])
                ++i;
            continue;
        }
        const int hi = HexDigitValue(Text[i + 1]);
        const int lo = HexDigitValue(Text[i + 2]);
        if (hi < 0 || lo < 0) {
            out += c;
            ++i;
            continue;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 3;
    }
    return out;
}

std::string EncodeBase64(const std::string& Text) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((Text.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= Text.size(); i += 3) {
        const uint32_t v = static_cast<uint8_t>(Text[i]) << 16 | static_cast<uint8_t>(Text[i + 1]) << 8 |
                           static_cast<uint8_t>(Text[i + 2]);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    const std::size_t left = Text.size() - i;
    if (left == 0)
        return out;
    uint32_t v = static_cast<uint8_t>(Text[i]) << 16;
    if (left == 2)
        v |= static_cast<uint8_t>(Text[i + 1]) << 8;
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += left == 2 ? alphabet[(v >> 6) & 63] : '=';
    out += '=';
    return out;
}

std::string MD5(const std::string& Value) {
    return LongDigest(EVP_md5(), Value, Value.size());
}

std::string SHA1(const std::string& Value) {
    return LongDigest(EVP_sha1(), Value, Value.size());
}

std::string MD5LongHash(const std::string& Value, std::size_t Len) {
    return LongDigest(EVP_md5(), Value, Len);
}

std::string SHA1LongHash(const std::string& Value, std::size_t Len) {
    return LongDigest(EVP_sha1(), Value, Len);
}

std::string HMAC_MD5(const std::string& Text, const std::string& Key) {
    return Hmac(EVP_md5(), Text, Key);
}

std::string HMAC_SHA1(const std::string& Text, const std::string& Key) {
    return Hmac(EVP_sha1(), Text, Key);
}
