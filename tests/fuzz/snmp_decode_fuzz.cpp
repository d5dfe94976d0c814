// Fuzz target for the SNMP decoders: arbitrary datagrams go through the BER item reader and the
// message decoder, both without keys (v1/v2c and plain v3) and with SNMPv3 passwords set so that
// the digest check and the deciphering of the scoped PDU are reached.
#include "net/asn1util.h"
#include "net/snmpsend.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string Bytes(reinterpret_cast<const char*>(Data), Size);

    // Walk the items as a caller stepping through nested sequences would.
    int Pos = 1;
    for (int I = 0; I < 4096 && Pos <= static_cast<int>(Bytes.size()); ++I) {
        int Tag = 0;
        const int Before = Pos;
        ReadBerItem(Bytes, Pos, Tag);
        if (Pos == Before)
            break;
    }
    OidBerToText(Bytes);

    TSNMPRec Plain;
    Plain.DecodePacket(Bytes);

    // The keys are only worth their cost for messages that say they are SNMPv3. The records live
    // on between inputs so that the localised keys are reused while the engine id stays the same.
    if (Plain.Version == 3) {
        static TSNMPRec Keyed[3];
        static const TV3Auth Auth[3] = {AuthMD5, AuthSHA1, AuthSHA1};
        static const TV3Priv Priv[3] = {PrivDES, PrivAES, Priv3DES};
        for (int I = 0; I < 3; ++I) {
            Keyed[I].AuthMode = Auth[I];
            Keyed[I].PrivMode = Priv[I];
            Keyed[I].AuthPassword = "fuzz-auth-pass";
            Keyed[I].PrivPassword = "fuzz-priv-pass";
            Keyed[I].DecodePacket(Bytes);
        }
    }
    return 0;
}
