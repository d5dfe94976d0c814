// RC6-32/20 in ECB mode for the notification settings file: the key fold, the key schedule, the
// block operations and the two stream operations. Every call works on its own state.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <array>
#include <cstdint>

// One cipher state: the key text, the folded key L (16 words) and the round keys S (44 words).
struct TRc6State {
    QByteArray Key;
    std::array<uint32_t, 16> L{};
    std::array<uint32_t, 44> S{};
};

inline constexpr int Rc6BlockSize = 16;

// Rotations by N mod 32.
uint32_t Rc6RotateLeft(uint32_t X, uint32_t N);
uint32_t Rc6RotateRight(uint32_t X, uint32_t N);

// Stores the key, zeroes L and folds the key into it.
void Rc6SetKey(TRc6State& State, const QByteArray& Key);
// Extends the key cyclically to a multiple of 64 bytes and folds its little-endian words into L:
// L[j mod 16] := RotateLeft(L[j mod 16], K and 31) xor K. A 64-byte key is loaded as it stands.
void Rc6FoldKey(TRc6State& State);
// The round keys S from L (c = 16 key words, 20 rounds); L is changed by the mixing.
void Rc6KeySchedule(TRc6State& State);

// One 16-byte block in place, words little-endian.
void Rc6EncryptBlock(const TRc6State& State, uint8_t* Block);
void Rc6DecryptBlock(const TRc6State& State, uint8_t* Block);

// Enciphers in place every whole block of the next Count bytes from the stream's position; the
// last Count mod 16 bytes stay as they are. An empty key only moves the position by Count.
// False when a read, seek or write fails (blocks already written stay written).
bool Rc6EncryptStreamInPlace(QIODevice& Stream, const QByteArray& Key, qint64 Count);
// Reads Count bytes from Source and writes them deciphered to Dest, the last Count mod 16 bytes
// copied unchanged; an empty key copies everything. False when a read or write fails.
bool Rc6DecryptStream(QIODevice& Dest, QIODevice& Source, const QByteArray& Key, qint64 Count);

// The same on whole byte strings in memory (the results the stream operations give).
QByteArray Rc6EncryptBytes(const QByteArray& Plain, const QByteArray& Key);
QByteArray Rc6DecryptBytes(const QByteArray& Ciphered, const QByteArray& Key);
