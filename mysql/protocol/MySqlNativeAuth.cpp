#include "mysql/protocol/MySqlNativeAuth.h"

#include "base/Exception.h"

#include <cmath>
#include <openssl/evp.h>

namespace tabellix {
namespace {

using Digest = std::array<uint8_t, 20>;

Digest Sha1(const uint8_t* bytes, size_t length) {
    Digest digest{};
    unsigned int size = 0;
    if (EVP_Digest(bytes, length, digest.data(), &size, EVP_sha1(), nullptr) != 1 || size != 20)
        throw EAssertionFailed("SHA-1 digest failed");
    return digest;
}

Digest Sha1(const std::string& bytes) {
    return Sha1(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

Digest Sha1(const uint8_t* first, size_t firstLength, const Digest& second) {
    std::vector<uint8_t> joined(first, first + firstLength);
    joined.insert(joined.end(), second.begin(), second.end());
    return Sha1(joined.data(), joined.size());
}

} // namespace

std::vector<uint8_t> TSHA1Managed::ComputeHash(const std::vector<uint8_t>& buffer) {
    return ComputeHash(buffer.data(), 0, static_cast<int>(buffer.size()));
}

std::vector<uint8_t> TSHA1Managed::ComputeHash(const uint8_t* buffer, int offset, int length) {
    Digest d = Sha1(buffer + offset, static_cast<size_t>(length));
    return {d.begin(), d.end()};
}

std::array<uint8_t, 20> PasswordHashStage1(const std::string& password) {
    std::string kept;
    for (char c : password)
        if (c != ' ' && c != '\t')
            kept += c;
    return Sha1(kept);
}

void PasswordHashStage2(std::array<uint8_t, 20>& to, const uint8_t* salt, int saltOffset) {
    to = Sha1(salt + saltOffset, 4, to);
}

void PasswordCrypt(const uint8_t* from, int fromIndex, uint8_t* to, const uint8_t* password,
                   int length) {
    for (int i = 0; i < length; ++i)
        to[i] = from[fromIndex + i] ^ password[i];
}

void MyCrypt(uint8_t* to, const uint8_t* from, int length) {
    for (int i = 0; i < length; ++i)
        to[i] ^= from[i];
}

std::array<int64_t, 2> hashPassword(const uint8_t* password, size_t length) {
    uint32_t nr = 1345345333;
    uint32_t add = 7;
    uint32_t nr2 = 0x12345671;
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = password[i];
        if (c == ' ' || c == '\t')
            continue;
        nr ^= (((nr & 63) + add) * c) + (nr << 8);
        nr2 += (nr2 << 8) ^ nr;
        add += c;
    }
    return {nr & 0x7FFFFFFF, nr2 & 0x7FFFFFFF};
}

void randominit(TrandStruct& randSt, int64_t seed1, int64_t seed2) {
    randSt.maxValue = 0x3FFFFFFF;
    randSt.maxValueDbl = 1073741823.0;
    randSt.seed1 = seed1 % randSt.maxValue;
    randSt.seed2 = seed2 % randSt.maxValue;
}

double MyRandom(TrandStruct& randSt) {
    randSt.seed1 = (randSt.seed1 * 3 + randSt.seed2) % randSt.maxValue;
    randSt.seed2 = (randSt.seed1 + randSt.seed2 + 33) % randSt.maxValue;
    return static_cast<double>(randSt.seed1) / randSt.maxValueDbl;
}

std::string ScrambleOld(const std::string& password, const uint8_t* salt) {
    std::string out;
    if (!password.empty()) {
        auto hp = hashPassword(reinterpret_cast<const uint8_t*>(password.data()), password.size());
        auto hm = hashPassword(salt, 8);
        TrandStruct rand;
        randominit(rand, hp[0] ^ hm[0], hp[1] ^ hm[1]);
        for (int i = 0; i < 8; ++i)
            out += static_cast<char>(64 + static_cast<int>(std::floor(MyRandom(rand) * 31)));
        auto extra = static_cast<char>(std::floor(MyRandom(rand) * 31));
        for (char& c : out)
            c ^= extra;
    }
    out += '\0';
    return out;
}

std::array<uint8_t, 20> Scramble41(const std::string& password, const uint8_t* salt) {
    Digest s1 = Sha1(password);
    Digest s2 = Sha1(s1.data(), s1.size());
    Digest s3 = Sha1(salt, 20, s2);
    MyCrypt(s3.data(), s1.data(), 20);
    return s3;
}

std::array<uint8_t, 20> NewSaltReply(const std::string& password, const uint8_t* answer24,
                                     uint8_t* salt) {
    Digest s1 = PasswordHashStage1(password);
    Digest s2 = s1;
    PasswordHashStage2(s2, answer24, 0);
    PasswordCrypt(answer24, 4, salt, s2.data(), 20);
    Digest reply;
    PasswordCrypt(salt, 0, reply.data(), s1.data(), 20);
    return reply;
}

} // namespace tabellix
