// The answers of the native password logins: the 4.1 scramble, the 24-byte
// new-salt exchange and the pre-4.1 scramble, with the SHA-1 and hash helpers
// they are made of. Each answer is a function of the password and the salt.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabellix {

// State of the pre-4.1 random generator.
struct TrandStruct {
    int64_t seed1 = 0;
    int64_t seed2 = 0;
    int64_t maxValue = 0;
    double maxValueDbl = 0;
};

// SHA-1 digests.
class TSHA1Managed {
public:
    static std::vector<uint8_t> ComputeHash(const std::vector<uint8_t>& buffer);
    static std::vector<uint8_t> ComputeHash(const uint8_t* buffer, int offset, int length);
};

// SHA-1 of the password without its spaces and tab characters.
std::array<uint8_t, 20> PasswordHashStage1(const std::string& password);
// to := SHA-1 of the 4 bytes at salt + saltOffset followed by to.
void PasswordHashStage2(std::array<uint8_t, 20>& to, const uint8_t* salt, int saltOffset);
// to[i] := from[fromIndex + i] XOR password[i].
void PasswordCrypt(const uint8_t* from, int fromIndex, uint8_t* to, const uint8_t* password,
                   int length);
// to[i] := to[i] XOR from[i].
void MyCrypt(uint8_t* to, const uint8_t* from, int length);
// The pre-4.1 hash: two 31-bit values; spaces and tabs are skipped.
std::array<int64_t, 2> hashPassword(const uint8_t* password, size_t length);
void randominit(TrandStruct& randSt, int64_t seed1, int64_t seed2);
double MyRandom(TrandStruct& randSt);

// The 20-byte 4.1 answer for a 20-byte salt.
std::array<uint8_t, 20> Scramble41(const std::string& password, const uint8_t* salt);
// The 8-byte pre-4.1 answer (and a zero byte) for the salt's first 8 bytes;
// just the zero byte for an empty password.
std::string ScrambleOld(const std::string& password, const uint8_t* salt);
// The 24-byte exchange: a 4-byte prefix and 20 bytes that, unmasked with the
// password's hashes, become the new salt (written to salt); returns the
// 20-byte reply.
std::array<uint8_t, 20> NewSaltReply(const std::string& password, const uint8_t* answer24,
                                     uint8_t* salt);

} // namespace tabellix
