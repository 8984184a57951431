#include "mysql/protocol/MySqlNativeAuth.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tabellix {
namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

std::vector<uint8_t> Join(std::initializer_list<const uint8_t*> parts,
                          std::initializer_list<size_t> sizes) {
    std::vector<uint8_t> out;
    auto size = sizes.begin();
    for (const uint8_t* p : parts)
        for (size_t i = 0, n = *size++; i < n; ++i)
            out.push_back(p[i]);
    return out;
}

std::string OldHash(const std::string& password) {
    auto h = hashPassword(reinterpret_cast<const uint8_t*>(password.data()), password.size());
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(h[0]),
                  static_cast<unsigned>(h[1]));
    return text;
}

TEST(PasswordHashing, Sha1MatchesTheStandardDigest) {
    std::vector<uint8_t> abc = {'a', 'b', 'c'};
    auto d = TSHA1Managed::ComputeHash(abc);
    EXPECT_EQ(Hex(d.data(), d.size()), "a9993e364706816aba3e25717850c26c9cd0d89d");
    std::vector<uint8_t> padded = {'x', 'a', 'b', 'c', 'y'};
    d = TSHA1Managed::ComputeHash(padded.data(), 1, 3);
    EXPECT_EQ(Hex(d.data(), d.size()), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(PasswordHashing, PreFourOneHashMatchesKnownValuesAndIgnoresBlanks) {
    EXPECT_EQ(OldHash("password"), "5d2e19393cc5ef67");
    EXPECT_EQ(OldHash("pass word\t"), "5d2e19393cc5ef67");
    EXPECT_EQ(OldHash(""), "5030573512345671");
}

TEST(PasswordHashing, RandomGeneratorFollowsItsRecurrence) {
    TrandStruct r;
    randominit(r, 0x40000000LL + 5, 7);
    EXPECT_EQ(r.seed1, 6);
    EXPECT_EQ(r.seed2, 7);
    double first = MyRandom(r);
    EXPECT_EQ(r.seed1, 25);
    EXPECT_EQ(r.seed2, 65);
    EXPECT_DOUBLE_EQ(first, 25 / 1073741823.0);
}

TEST(PasswordHashing, FourOneScrambleProvesTheStoredDoubleHash) {
    // The server keeps SHA1(SHA1(password)) and checks
    // SHA1(reply XOR SHA1(salt + stored)) == stored.
    const uint8_t salt[20] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                              11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    auto reply = Scramble41("password", salt);
    const uint8_t stored[20] = {0x24, 0x70, 0xC0, 0xC0, 0x6D, 0xEE, 0x42, 0xFD, 0x16, 0x18,
                                0xBB, 0x99, 0x00, 0x5A, 0xDC, 0xA2, 0xEC, 0x9D, 0x1E, 0x19};
    auto mask = TSHA1Managed::ComputeHash(Join({salt, stored}, {20, 20}));
    MyCrypt(reply.data(), mask.data(), 20);
    auto check = TSHA1Managed::ComputeHash(reply.data(), 0, 20);
    EXPECT_EQ(Hex(check.data(), 20), Hex(stored, 20));
}

TEST(PasswordHashing, PreFourOneScrambleIsEightPrintableBytesAndAZero) {
    const uint8_t salt[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    std::string s = ScrambleOld("password", salt);
    ASSERT_EQ(s.size(), 9u);
    EXPECT_EQ(s.back(), '\0');
    EXPECT_EQ(ScrambleOld("", salt), std::string(1, '\0'));
    EXPECT_EQ(ScrambleOld("pass word", salt), s);
}

TEST(PasswordHashing, StageTwoHashesPrefixAndStageOne) {
    auto s1 = PasswordHashStage1("pass word");
    EXPECT_EQ(Hex(s1.data(), 20), "5baa61e4c9b93f3f0682250b6cf8331b7ee68fd8"); // SHA1("password")
    const uint8_t answer[8] = {9, 9, 1, 2, 3, 4, 9, 9};
    auto s2 = s1;
    PasswordHashStage2(s2, answer, 2);
    const uint8_t prefix[4] = {1, 2, 3, 4};
    auto expected = TSHA1Managed::ComputeHash(Join({prefix, s1.data()}, {4, 20}));
    EXPECT_EQ(Hex(s2.data(), 20), Hex(expected.data(), 20));
}

} // namespace
} // namespace tabellix
