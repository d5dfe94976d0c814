// Small routines shared by the socket layer and the protocol clients: the millisecond tick, byte-string
// splitting and trimming, integer packing, a memory stream, the URL parser and header unfolding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Milliseconds of a monotonic clock, kept to 32 bits (wraps after about 49.7 days).
uint32_t GetTick();
// Milliseconds from Old to New, allowing for one wrap of the 32-bit counter.
uint32_t TickDelta(uint32_t Old, uint32_t New);
void SleepMs(uint32_t Milliseconds);

// Text before / after the first Delimiter; all of Value when Delimiter does not occur.
std::string SeparateLeft(const std::string& Value, const std::string& Delimiter);
std::string SeparateRight(const std::string& Value, const std::string& Delimiter);
// Returns the text before the first Delimiter and leaves the rest in Value (empty when there was no
// Delimiter); both trimmed of spaces.
std::string FetchPart(std::string& Value, const std::string& Delimiter);

// Removal of the space character only (tabs and line ends stay).
std::string TrimSpaceLeft(const std::string& Value);
std::string TrimSpaceRight(const std::string& Value);
std::string TrimSpace(const std::string& Value);

std::string ReplaceString(const std::string& Value, const std::string& Search,
                          const std::string& Replacement);
// Position of the first CR or LF (std::string::npos when none); Terminator receives the line end found
// there: CR LF, LF CR, CR or LF (empty when none).
std::size_t PosCRLF(const std::string& Value, std::string& Terminator);
std::size_t CountOfChar(const std::string& Value, char Char);
std::string UpperCase(const std::string& Value);
// The value of one hexadecimal digit, -1 for any other character.
int HexDigitValue(char C);
// The value of the decimal digits at the start of Text (0 when none); wraps instead of overflowing.
uint64_t LeadingDigitsValue(const std::string& Text);
// Case-insensitive prefix test (ASCII).
bool StartsText(const std::string& Prefix, const std::string& Value);

// Big-endian packing; Index is the 0-based offset of the first byte, missing bytes read as 0.
std::string CodeInt(uint16_t Value);
uint16_t DecodeInt(const std::string& Value, std::size_t Index);
std::string CodeLongInt(uint32_t Value);
uint32_t DecodeLongInt(const std::string& Value, std::size_t Index);
uint32_t SwapBytes(uint32_t Value);

// A growable byte buffer with a read/write position, the stream the clients fill and hand out.
class TMemoryStream {
public:
    std::size_t Size() const { return Data.size(); }
    std::size_t Position() const { return Pos; }
    // Positions past the end are clamped to the end.
    void Seek(std::size_t NewPosition) { Pos = NewPosition > Data.size() ? Data.size() : NewPosition; }
    void Clear() {
        Data.clear();
        Pos = 0;
    }
    // Writes at the position (overwriting, then growing) and moves the position past the bytes.
    void Write(const char* Buffer, std::size_t Count);
    void Write(const std::string& Bytes) { Write(Bytes.data(), Bytes.size()); }
    // Reads up to Count bytes from the position and moves past them.
    std::size_t Read(char* Buffer, std::size_t Count);
    const std::string& Bytes() const { return Data; }

private:
    std::string Data;
    std::size_t Pos = 0;
};

// Writes a byte string at the stream's position.
void WriteStrToStream(TMemoryStream& Stream, const std::string& Value);
// Reads up to Count bytes from the stream's position.
std::string ReadStrFromStream(TMemoryStream& Stream, std::size_t Count);

// Header unfolding: the line at Index joined with its continuation lines (those starting with a space,
// a tab, '"', ':' or '='; never the last line of the list), right-trimmed. Index moves past the lines used.
std::string UnfoldHeaderLine(const std::vector<std::string>& Lines, std::size_t& Index);

// The parts of a URL.
struct TParsedURL {
    std::string Protocol = "http";
    std::string User;
    std::string Password;
    std::string Host;
    std::string Port = "80";
    std::string Path;   // "/" + the path part up to "?"
    std::string Query;  // after "?"
    std::string Target; // "/" + the whole path part, query included
};

// Splits a URL: [protocol://][user[:password]@]host[:port][/path[?query]]. A host in "[" "]" or an
// unbracketed IPv6 literal keeps its colons; an empty host becomes "localhost".
TParsedURL ParseURL(const std::string& URL);
