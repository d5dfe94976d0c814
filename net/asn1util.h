// BER (X.690) encoding and decoding of the SNMP value types. Values travel as text (a decimal number,
// a dotted OID, a dotted IPv4 address, or raw bytes) together with their tag number.
#pragma once

#include <cstdint>
#include <string>

// Tag numbers with their own treatment.
enum : int {
    ASN1_BOOL = 1,
    ASN1_INT = 2,
    ASN1_OCTSTR = 4,
    ASN1_NULL = 5,
    ASN1_OBJID = 6,
    ASN1_ENUM = 10,
    ASN1_SEQ = 48,
    ASN1_IPADDR = 64,
    ASN1_COUNTER = 65,
    ASN1_GAUGE = 66,
    ASN1_TIMETICKS = 67,
    ASN1_OPAQUE = 68,
    ASN1_COUNTER64 = 70,
};

// Lengths of 127 and less are one byte; longer ones 0x80 + count, then the bytes most significant first.
std::string EncodeBerLength(int Len);
// Reads a length at the 1-based Pos and advances past it. Returns -1 (Pos at the end of what could be
// read) for an indefinite length, a length that runs past the buffer or one that does not fit an int.
int DecodeBerLength(const std::string& Buffer, int& Pos);
// Contents of an INTEGER: shortest two's complement, except that negative values take all four bytes.
std::string EncodeBerInteger(int32_t Value);
// Contents of Counter32/Gauge32/TimeTicks/Counter64: shortest big-endian form without a sign byte (200
// gives C8); from 2^31 up a 00 goes in front so that strict receivers read the value as non-negative.
std::string EncodeBerUnsigned(uint64_t Value);
// Tag byte, length, contents.
std::string EncodeBerObject(const std::string& Contents, int Tag);
std::string EncodeOidSubId(uint64_t Value);
// Reads one base-128 sub-identifier at the 1-based Pos (never past the end of Buffer).
uint64_t DecodeOidSubId(const std::string& Buffer, int& Pos);
// "1.3.6.1.2.1.1.1.0" gives 2B 06 01 02 01 01 01 00; unreadable components count as 0.
std::string OidTextToBer(const std::string& Text);
std::string OidBerToText(const std::string& Bytes);

// Reads the tag and length at the 1-based Pos and advances past them. True when the header could be
// read and the contents fit in the buffer.
bool ReadBerHeader(const std::string& Buffer, int& Pos, int& Tag, int& Len);
// Reads one item at the 1-based Pos and returns its value text; ValueType receives its tag. A
// constructed item (bit 0x20) returns a copy of its contents and leaves Pos on its first inner item.
// A buffer that ends before Pos gives tag 5 (NULL) and empty text; contents that would run past the
// end give empty text with Pos after the length. Numbers are read in 64 bits: INTEGER as signed,
// Counter32/Gauge32/TimeTicks/Counter64 as unsigned; a number too long for 64 bits gives empty text.
std::string ReadBerItem(const std::string& Buffer, int& Pos, int& ValueType);
