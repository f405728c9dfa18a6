// Backups over HTTP: a round trip onto a fresh data directory that rings the same bells, and each
// refusal of a restore, after which not a byte on disk nor anything in memory has changed.
#include <cstring>
#include <map>

#include "scheduling/scheduler.h"
#include "storage/atomic_file.h"
#include "storage/backup.h"
#include "storage/temporary_names.h"
#include "storage/zip_archive.h"
#include "support/wave_file.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;
namespace fs = std::filesystem;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;
using Snapshot = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

// Makes the entry `name` of a zip archive claim `size` as its unpacked size, in its local header
// and in the central directory.
void claimSize(std::string& zip, const std::string& name, std::uint32_t size) {
    for (const auto& [signature, nameAt, sizeAt] : {std::tuple{"PK\x03\x04", 30, 22}, std::tuple{"PK\x01\x02", 46, 24}})
        for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4))
            if (zip.compare(at + nameAt, name.size(), name) == 0)
                std::memcpy(&zip[at + sizeAt], &size, 4);
}

// Every file below `dir` with its content.
Snapshot snapshotOf(const fs::path& dir) {
    Snapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), dir).string()] = readWholeFile(entry.path()).value();
    return files;
}

struct Backups : WebTest {
    Browser b = browser();
    TempDir scratch;

    // A zip archive of `entries`, as its bytes.
    std::string zipOf(const Entries& entries) {
        const fs::path file = scratch.path() / "made.zip";
        ZipWriter zip(file);
        for (const auto& [name, content] : entries)
            zip.addText(name, content);
        zip.close();
        return readWholeFile(file).value();
    }
    // Uploads a signal and lets the first lesson start with it; answers its key.
    std::string signalOnTheFirstLesson() {
        writeToneWave(scratch.path() / "gong.wav", 0.5, 440);
        const auto answer = b.upload({{"file", readWholeFile(scratch.path() / "gong.wav").value(), "Gong.wav", ""}});
        const std::string key = jsonOf(answer).get<std::string>();
        std::scoped_lock lock(docs.mutex);
        TimeTable& tt = db().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        tt.chA.lessons = {Lesson::decode("10:01 - 10:45")};
        tt.chA.startOfClass.id = key;
        return key;
    }
    // GET /backup, once the server has let go of the archive it made for the answer.
    httplib::Result takeBackup() {
        auto answer = b.get("/backup");
        const auto leftover = [&] {
            for (const auto& [name, content] : snapshotOf(dataDir()))
                if (isTemporaryFileName(name))
                    return true;
            return false;
        };
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (leftover() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(leftover()) << "the archive made for the answer stays behind";
        return answer;
    }
    httplib::Result restore(const std::string& archive) {
        return b.upload({{"file", archive, "backup.zip", "application/zip"}}, "/restore");
    }
};

TEST_F(Backups, ARoundTripOntoAFreshDataDirectoryRingsTheSameBells) {
    setPassword(b, "bell-tower");
    const std::string key = signalOnTheFirstLesson();
    ASSERT_TRUE(saveDocumentsNow());
    const auto backup = takeBackup();
    ASSERT_EQ(backup->status, 200) << backup->body;
    EXPECT_EQ(backup->get_header_value("Content-Disposition"),
              "attachment; filename=\"tollwick-backup-2024-09-02.zip\"");
    Strings names;
    const ZipReader archive(backup->body);
    for (const auto& entry : archive.entries())
        names.push_back(entry.name);
    EXPECT_EQ(names, (Strings{"_db.json", "cache.json", key + ".wav"})) << "never the password store";
    EXPECT_EQ(snapshotOf(dataDir()).size(), 3u) << "_db.json, _shadow.json and the signal";

    // A new installation: an empty data directory and the factory configuration.
    TempDir fresh;
    ScopedEnv freshData("TOLLWICK_DATA_DIR", fresh.path().string());
    std::string shadowBefore;
    {
        std::scoped_lock lock(docs.mutex);
        docs.db->loadFactoryDefault();
        docs.db->ensureFactorySongsAvailable();
        docs.db.load(fresh.path() / "_db.json");
        docs.cache.load(fresh.path() / "cache.json");
        shadowBefore = to_json(*docs.shadow);
    }
    EXPECT_EQ(outcome(restore(backup->body)), "200 ok");
    EXPECT_EQ(readWholeFile(fresh.path() / (key + ".wav")), readWholeFile(dataDir() / (key + ".wav")));
    EXPECT_FALSE(fs::exists(fresh.path() / "_shadow.json"));
    {
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(to_json(*docs.shadow), shadowBefore) << "the password store stays as it is";
        EXPECT_TRUE(docs.db->songs.contains(key));
    }

    // The server that starts from the restored files rings the uploaded signal at 10:01.
    Documents restarted;
    ASSERT_TRUE(restarted.db.load(fresh.path() / "_db.json"));
    QuietPeriods noQuiet;
    Scheduler scheduler(restarted, clock, sounds, noQuiet, {});
    time.set(2024, 9, 2, 10, 1, 0);
    scheduler.pass();
    ASSERT_TRUE(recorder->waitForStarts(1));
    EXPECT_EQ(recorder->started(), Strings{(fresh.path() / (key + ".wav")).string()});
}

TEST_F(Backups, EachRefusalOfARestoreLeavesDiskAndMemoryAsTheyWere) {
    signalOnTheFirstLesson();
    ASSERT_TRUE(saveDocumentsNow());
    const std::string good = takeBackup()->body;
    const std::string gong = R"({"dbVersion": 2, "songs": {"g": {"name": "Gong", "filename": "gong.wav"}}})";
    // An entry that claims 100 bytes and unpacks to more than 100 MiB.
    std::string lying = zipOf({{"_db.json", gong}, {"gong.wav", std::string((std::size_t{100} << 20) + 1, '\0')}});
    claimSize(lying, "gong.wav", 100);
    const struct {
        const char* what;
        std::string archive;
        std::string answer;
    } cases[] = {
        {"a damaged zip", good.substr(0, good.size() / 2),
         "400 The file is not a zip archive that can be read: Not a zip archive"},
        {"a database that does not decode",
         zipOf({{"_db.json", R"({"dbVersion": 2, "timetables": {"t": {"chA": {"lessons": ["25:00 - 26:00"]}}}})"}}),
         "400 The database in the archive cannot be read: Invalid value for \"timetables.t.chA.lessons[0]\": cannot "
         "read \"25:00 - 26:00\""},
        {"a database nested too deep", zipOf({{"_db.json", std::string(100000, '[')}}),
         "400 The database in the archive cannot be read: Invalid JSON: arrays and objects nest deeper than 64 "
         "levels"},
        {"a database of another version", zipOf({{"_db.json", R"({"dbVersion": 3})"}}),
         "400 The database in the archive is of a version this program cannot read"},
        {"a missing audio file", zipOf({{"_db.json", gong}}),
         "400 The archive lacks the sound file \"gong.wav\" of \"Gong\""},
        {"a path outside", zipOf({{"_db.json", "{\"dbVersion\": 2}"}, {"../gong.wav", "sound"}}),
         "400 The archive's entry \"../gong.wav\" points outside the data directory"},
        {"an oversized entry", lying, "400 The archive's entry \"gong.wav\" unpacks to more than 100 MiB"},
        {"an empty file", "", "400 The file is not a zip archive that can be read: Not a zip archive"},
    };
    const Snapshot before = snapshotOf(dataDir());
    std::string memoryBefore;
    {
        std::scoped_lock lock(docs.mutex);
        memoryBefore = to_json(db());
    }
    for (const auto& c : cases) {
        EXPECT_EQ(outcome(restore(c.archive)), c.answer) << c.what;
        EXPECT_EQ(snapshotOf(dataDir()), before) << c.what;
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(to_json(db()), memoryBefore) << c.what;
    }
    EXPECT_EQ(outcome(b.post("/restore", "")), "400 No file part");
}

TEST_F(Backups, WhatAnArchiveUnpacksToInAllIsBoundedToo) {
    const std::string twoSongs = R"({"dbVersion": 2, "songs": {"a": {"name": "A", "filename": "a.wav"},
                                                              "b": {"name": "B", "filename": "b.wav"}}})";
    std::string archive =
        zipOf({{"_db.json", twoSongs}, {"a.wav", std::string(600, 'a')}, {"b.wav", std::string(600, 'b')}});
    EXPECT_NO_THROW(prepareRestore(archive, scratch.path(), {5000, 4000}));
    claimSize(archive, "a.wav", 10);
    claimSize(archive, "b.wav", 10);
    try {
        prepareRestore(archive, scratch.path(), {1200, 1000});
        FAIL();
    } catch (const InvalidValueError& e) {
        EXPECT_STREQ(e.what(), "The archive unpacks to more than 1200 bytes");
    }
    EXPECT_EQ(snapshotOf(scratch.path()).count("a.wav"), 0u) << "nothing unpacked stays behind";
}

TEST_F(Backups, ABackupWhoseSoundFileIsGoneIsRefusedByName) {
    const std::string key = signalOnTheFirstLesson();
    fs::remove(dataDir() / (key + ".wav"));
    EXPECT_EQ(outcome(b.get("/backup")), "409 The sound file \"" + key +
                                             ".wav\" of \"Gong\" is missing: delete that song or upload it again, "
                                             "then make the backup");
    EXPECT_EQ(snapshotOf(dataDir()).size(), 0u) << "no half-made archive stays behind";
}

TEST_F(Backups, BackupAndRestoreAreGuardedLikeEveryLoggedInRoute) {
    setPassword(b, "bell-tower");
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const std::string loggedIn = "Cookie: session=" + b.cookie + "\r\n";
    const std::string restore =
        "POST /restore HTTP/1.1\r\n" + host + "Content-Type: multipart/form-data; boundary=x\r\n";
    struct Case {
        const char* what;
        std::string request; // no body is sent: each answer must come before one
        const char* status;
    };
    const std::vector<Case> cases{
        {"a backup another site asks for",
         "GET /backup HTTP/1.1\r\n" + host + loggedIn + "Sec-Fetch-Site: cross-site\r\n\r\n", "HTTP/1.1 403 Forbidden"},
        {"a restore another site sends",
         restore + loggedIn + "Origin: http://evil.example\r\nContent-Length: 100\r\n\r\n", "HTTP/1.1 403 Forbidden"},
        {"a backup without login", "GET /backup HTTP/1.1\r\n" + host + "\r\n", "HTTP/1.1 400 Bad Request"},
        {"a restore without login", restore + "Content-Length: 500000000\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"an archive larger than a restore unpacks", restore + loggedIn + "Content-Length: 1200000000\r\n\r\n",
         "HTTP/1.1 413 Payload Too Large"},
    };
    for (const Case& c : cases) {
        const std::string answer = rawExchange(port, c.request);
        EXPECT_EQ(answer.substr(0, answer.find("\r\n")), c.status) << c.what;
    }
}

} // namespace
