// Codings shared by the clients: %-decoding, Base64 and the digests (MD5, SHA-1, their key-localisation
// form and HMAC) used for authentication.
#pragma once

#include <cstddef>
#include <string>

// %XX gives that byte; "%" before a line end removes both; any other "%" stays; a "%" among the last two
// characters ends the output there.
std::string DecodeURL(const std::string& Text);
// Base64 with "=" padding and no line breaks.
std::string EncodeBase64(const std::string& Text);

// Raw digests (16 and 20 bytes).
std::string MD5(const std::string& Value);
std::string SHA1(const std::string& Value);
// Digest of Value repeated to Len bytes (1048576 for SNMPv3 key localisation); an empty Value gives the
// digest of the empty string.
std::string MD5LongHash(const std::string& Value, std::size_t Len);
std::string SHA1LongHash(const std::string& Value, std::size_t Len);
std::string HMAC_MD5(const std::string& Text, const std::string& Key);
std::string HMAC_SHA1(const std::string& Text, const std::string& Key);
