#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sys/stat.h>

#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "storage/store.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::TempDir;

namespace {

TEST(Hash, IsLowercaseSha256OfTheUtf8Bytes) {
    EXPECT_EQ(getHash(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(getHash("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Non-ASCII text hashes its UTF-8 bytes: an accented e, then a name with an accent and a smiley.
    EXPECT_EQ(getHash("\xC3\xA9"), "4a99557e4033c3539de2eb65472017cad5f9557f7a0625a09f1c3f6e2ba69c4c");
    EXPECT_EQ(getHash("\xC3\x93rarend \xE2\x98\xBA"),
              "3f2f57fed302ec0741f99510a1f66b60631013190533579892b79f714737a0a9");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Shadow, SaltIsMadeOnceFromSecureRandomBytes) {
    Shadow s;
    EXPECT_FALSE(s.isPasswordSet());
    const std::string salt = s.getCurrentSalt();
    EXPECT_TRUE(std::regex_match(salt, std::regex("[0-9a-f]{64}"))) << salt;
    EXPECT_EQ(s.getCurrentSalt(), salt);
    EXPECT_NE(Shadow{}.getCurrentSalt(), salt);
}

TEST(Shadow, PasswordHashIsSha256OfSaltThenPassword) {
    Shadow s;
    s.setPassword("tanterem 12");
    ASSERT_TRUE(s.isPasswordSet());
    EXPECT_EQ(*s._pwd, getHash(*s._salt + "tanterem 12"));
    EXPECT_EQ(s._pwd->find("tanterem"), std::string::npos);
    EXPECT_TRUE(s.isPasswordMatching("tanterem 12"));
    EXPECT_FALSE(s.isPasswordMatching("tanterem 1"));
    EXPECT_FALSE(s.isPasswordMatching(""));

    const std::string salt = *s._salt;
    s.setPassword("new");
    EXPECT_EQ(*s._salt, salt) << "a new password keeps the salt";
    EXPECT_TRUE(s.isPasswordMatching("new"));
    EXPECT_FALSE(s.isPasswordMatching("tanterem 12"));
}

TEST(Shadow, EmptyPasswordIsAPassword) {
    Shadow s;
    EXPECT_FALSE(s.isPasswordMatching(""));
    s.setPassword("");
    EXPECT_TRUE(s.isPasswordSet());
    EXPECT_TRUE(s.isPasswordMatching(""));
    EXPECT_FALSE(s.isPasswordMatching(" "));
}

TEST(Shadow, SamePasswordHashesDifferentlyInTwoInstallations) {
    Shadow a, b;
    a.setPassword("secret");
    b.setPassword("secret");
    EXPECT_NE(*a._pwd, *b._pwd);
}

TEST(Shadow, StoredEmptySaltIsReplaced) {
    TempDir dir;
    const auto file = dir.path() / "_shadow.json";
    const std::string oldHash = getHash("secret");
    std::ofstream(file) << R"({"_salt": "", "_pwd": ")" << oldHash << R"("})";
    StorageWrapper<Shadow> shadow;
    ASSERT_TRUE(shadow.load(file));
    EXPECT_EQ(shadow.edit().getCurrentSalt().size(), 64u);
    EXPECT_TRUE(shadow->isPasswordSet());
    EXPECT_FALSE(shadow.edit().isPasswordMatching("secret")) << "the old hash no longer matches";
}

TEST(Shadow, FileIsPrivateAndRoundTrips) {
    TempDir dir;
    const auto file = dir.path() / "_shadow.json";
    StorageWrapper<Shadow> shadow;
    EXPECT_FALSE(shadow.load(file));
    EXPECT_EQ(to_json(*shadow), R"({"_salt": null, "_pwd": null, "_sessions": [], "_sessionTimes": []})");
    shadow.saveAuto();
    shadow.edit().getCurrentSalt();
    shadow.edit().setPassword("pw");
    ASSERT_TRUE(shadow.saveAuto());
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    StorageWrapper<Shadow> again;
    ASSERT_TRUE(again.load(file));
    EXPECT_TRUE(again.edit().isPasswordMatching("pw"));
    EXPECT_EQ(again.edit().getCurrentSalt(), shadow.edit().getCurrentSalt());
}

TEST(Shadow, SessionsAreKeptAsHashesAndEndForGood) {
    constexpr std::int64_t T = 1'700'000'000;
    Shadow s;
    const std::string first = s.startSession(T);
    const std::string second = s.startSession(T);
    EXPECT_TRUE(std::regex_match(first, std::regex("[0-9a-f]{32}"))) << first;
    EXPECT_NE(first, second);
    EXPECT_EQ(s._sessions, (std::vector<std::string>{getHash(first), getHash(second)})) << "never the ids themselves";
    EXPECT_TRUE(s.isSessionLive(first, T));
    s.endSession(first);
    EXPECT_FALSE(s.isSessionLive(first, T));
    const std::string third = s.startSession(T);
    s.endSessionsExcept(third);
    EXPECT_FALSE(s.isSessionLive(second, T));
    EXPECT_TRUE(s.isSessionLive(third, T));
    EXPECT_FALSE(s.isSessionLive("", T));
    EXPECT_EQ(s._sessionTimes.size(), 1u);
    // The oldest go beyond the bound.
    for (std::size_t i = 0; i < Shadow::MAX_SESSIONS; ++i)
        s.startSession(T);
    EXPECT_EQ(s._sessions.size(), Shadow::MAX_SESSIONS);
    EXPECT_EQ(s._sessionTimes.size(), Shadow::MAX_SESSIONS);
    EXPECT_FALSE(s.isSessionLive(third, T));
}

TEST(Shadow, SessionsRunOutWhenIdleOrOldAlsoAcrossARestart) {
    constexpr std::int64_t T = 1'700'000'000;
    constexpr std::int64_t HOUR = 3600;
    Shadow s;
    const std::string idle = s.startSession(T);
    const std::string kept = s.startSession(T);
    EXPECT_TRUE(s.isSessionLive(idle, T + 12 * HOUR - 1));
    EXPECT_FALSE(s.isSessionLive(idle, T + 12 * HOUR));
    // Used every eleven hours, a session lives until thirty days after its login.
    std::int64_t now = T;
    for (; now + 11 * HOUR < T + Shadow::SESSION_AGE_LIMIT; now += 11 * HOUR) {
        ASSERT_TRUE(s.isSessionLive(kept, now + 11 * HOUR)) << (now - T) / HOUR;
        s.useSession(kept, now + 11 * HOUR);
    }
    EXPECT_FALSE(s.isSessionLive(kept, T + Shadow::SESSION_AGE_LIMIT));
    EXPECT_EQ(s._sessions, std::vector<std::string>{getHash(kept)}) << "the idle one was ended along the way";

    // Written and read again, the times hold: a session that ran out stays ended.
    const Shadow again = from_json<Shadow>(to_json(s));
    EXPECT_TRUE(again.isSessionLive(kept, now));
    EXPECT_FALSE(again.isSessionLive(kept, T + Shadow::SESSION_AGE_LIMIT));
    // A store written before sessions had times: its sessions count from their next use.
    Shadow old = from_json<Shadow>(R"({"_salt": null, "_pwd": null, "_sessions": [")" + getHash(idle) + R"("]})");
    EXPECT_TRUE(old.isSessionLive(idle, T));
    old.useSession(idle, T);
    EXPECT_FALSE(old.isSessionLive(idle, T + 12 * HOUR));
}

} // namespace
