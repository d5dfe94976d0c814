// BER encoding and decoding of SNMP values. Every reader stays inside the buffer it is given: lengths
// are checked against what was received before any contents are touched.
#include "net/asn1util.h"

#include "net/netutil.h"

#include <climits>

namespace {

uint8_t ByteAt(const std::string& Buffer, int Pos) {
    return static_cast<uint8_t>(Buffer[static_cast<size_t>(Pos - 1)]);
}

int BufferLen(const std::string& Buffer) {
    return Buffer.size() > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(Buffer.size());
}

bool IsUnsignedTag(int Tag) {
    return Tag == ASN1_COUNTER || Tag == ASN1_GAUGE || Tag == ASN1_TIMETICKS || Tag == ASN1_COUNTER64;
}

std::string SignedText(const std::string& C) {
    if (C.empty())
        return "0";
    if (C.size() > 8)
        return "";
    int64_t V = (static_cast<uint8_t>(C[0]) & 0x80) ? -1 : 0;
    for (char B : C)
        V = static_cast<int64_t>((static_cast<uint64_t>(V) << 8) | static_cast<uint8_t>(B));
    return std::to_string(V);
}

std::string UnsignedText(const std::string& C) {
    size_t First = 0;
    while (First < C.size() && C[First] == '\0')
        ++First;
    if (C.size() - First > 8)
        return "";
    uint64_t V = 0;
    for (size_t I = First; I < C.size(); ++I)
        V = (V << 8) | static_cast<uint8_t>(C[I]);
    return std::to_string(V);
}

std::string IpText(const std::string& C) {
    std::string Out;
    for (size_t I = 0; I < C.size(); ++I) {
        if (I)
            Out += '.';
        Out += std::to_string(static_cast<uint8_t>(C[I]));
    }
    return Out;
}

} // namespace

std::string EncodeBerLength(int Len) {
    if (Len < 0)
        Len = 0;
    if (Len <= 127)
        return std::string(1, static_cast<char>(Len));
    std::string Bytes;
    for (unsigned V = static_cast<unsigned>(Len); V; V >>= 8)
        Bytes.insert(Bytes.begin(), static_cast<char>(V & 0xFF));
    return static_cast<char>(0x80 + Bytes.size()) + Bytes;
}

int DecodeBerLength(const std::string& Buffer, int& Pos) {
    const int Size = BufferLen(Buffer);
    if (Pos < 1 || Pos > Size)
        return -1;
    const uint8_t B = ByteAt(Buffer, Pos++);
    if (B < 0x80)
        return B;
    const int Count = B & 0x7F;
    if (Count == 0 || Pos + Count - 1 > Size) {
        Pos = Size + 1;
        return -1;
    }
    uint64_t V = 0;
    bool Overflow = false;
    for (int I = 0; I < Count; ++I) {
        V = (V << 8) | ByteAt(Buffer, Pos++);
        Overflow = Overflow || V > static_cast<uint64_t>(INT_MAX);
    }
    return Overflow ? -1 : static_cast<int>(V);
}

std::string EncodeBerInteger(int32_t Value) {
    if (Value == 0)
        return std::string(1, '\0');
    std::string Out;
    if (Value < 0) {
        const uint32_t U = static_cast<uint32_t>(Value);
        for (int Shift = 24; Shift >= 0; Shift -= 8)
            Out += static_cast<char>((U >> Shift) & 0xFF);
        return Out;
    }
    for (uint32_t V = static_cast<uint32_t>(Value); V; V >>= 8)
        Out.insert(Out.begin(), static_cast<char>(V & 0xFF));
    if (static_cast<uint8_t>(Out[0]) > 0x7F)
        Out.insert(Out.begin(), '\0');
    return Out;
}

std::string EncodeBerUnsigned(uint64_t Value) {
    if (Value == 0)
        return std::string(1, '\0');
    std::string Out;
    for (uint64_t V = Value; V; V >>= 8)
        Out.insert(Out.begin(), static_cast<char>(V & 0xFF));
    // Below 2^31 the bytes go without a sign byte, as agents have always received them; above it the
    // sign byte keeps the value non-negative for strict decoders.
    if (Value > 0x7FFFFFFFu && static_cast<uint8_t>(Out[0]) > 0x7F)
        Out.insert(Out.begin(), '\0');
    return Out;
}

std::string EncodeBerObject(const std::string& Contents, int Tag) {
    return static_cast<char>(Tag & 0xFF) + EncodeBerLength(BufferLen(Contents)) + Contents;
}

std::string EncodeOidSubId(uint64_t Value) {
    std::string Out(1, static_cast<char>(Value & 0x7F));
    for (Value >>= 7; Value; Value >>= 7)
        Out.insert(Out.begin(), static_cast<char>(0x80 | (Value & 0x7F)));
    return Out;
}

uint64_t DecodeOidSubId(const std::string& Buffer, int& Pos) {
    const int Size = BufferLen(Buffer);
    uint64_t V = 0;
    while (Pos >= 1 && Pos <= Size) {
        const uint8_t B = ByteAt(Buffer, Pos++);
        V = (V << 7) | (B & 0x7F);
        if (!(B & 0x80))
            break;
    }
    return V;
}

std::string OidTextToBer(const std::string& Text) {
    std::string Rest = Text;
    auto Next = [&Rest]() {
        const size_t Dot = Rest.find('.');
        const std::string Part = Rest.substr(0, Dot);
        Rest = Dot == std::string::npos ? std::string() : Rest.substr(Dot + 1);
        return LeadingDigitsValue(Part);
    };
    if (Rest.empty())
        return "";
    const uint64_t First = Next();
    const uint64_t Second = Next();
    std::string Out = EncodeOidSubId(First * 40 + Second);
    while (!Rest.empty())
        Out += EncodeOidSubId(Next());
    return Out;
}

std::string OidBerToText(const std::string& Bytes) {
    std::string Out;
    int Pos = 1;
    const int Size = BufferLen(Bytes);
    if (Size == 0)
        return Out;
    const uint64_t X = DecodeOidSubId(Bytes, Pos);
    // Arcs 0 and 1 hold at most 40 children; everything from 80 up belongs to arc 2.
    if (X < 80)
        Out = std::to_string(X / 40) + "." + std::to_string(X % 40);
    else
        Out = "2." + std::to_string(X - 80);
    while (Pos <= Size)
        Out += "." + std::to_string(DecodeOidSubId(Bytes, Pos));
    return Out;
}

bool ReadBerHeader(const std::string& Buffer, int& Pos, int& Tag, int& Len) {
    const int Size = BufferLen(Buffer);
    Tag = ASN1_NULL;
    Len = 0;
    if (Pos < 1 || Pos > Size)
        return false;
    Tag = ByteAt(Buffer, Pos++);
    Len = DecodeBerLength(Buffer, Pos);
    if (Len < 0) {
        Len = 0;
        return false;
    }
    return Len <= Size - Pos + 1;
}

std::string ReadBerItem(const std::string& Buffer, int& Pos, int& ValueType) {
    int Len = 0;
    if (!ReadBerHeader(Buffer, Pos, ValueType, Len))
        return "";
    const std::string Contents = Buffer.substr(static_cast<size_t>(Pos - 1), static_cast<size_t>(Len));
    if (ValueType & 0x20)
        return Contents;
    Pos += Len;
    switch (ValueType) {
    case ASN1_BOOL:
    case ASN1_INT:
    case ASN1_ENUM:
        return SignedText(Contents);
    case ASN1_NULL:
        return "";
    case ASN1_OBJID:
        return OidBerToText(Contents);
    case ASN1_IPADDR:
        return IpText(Contents);
    default:
        return IsUnsignedTag(ValueType) ? UnsignedText(Contents) : Contents;
    }
}
