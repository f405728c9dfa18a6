#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "storage/store.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::TempDir;

namespace {

// Version n of a database big enough (a few hundred kilobytes) that kills land inside writes.
DB databaseVersion(long n) {
    DB db;
    db.loadFactoryDefault();
    db.settings.alarmSignalId = "v" + std::to_string(n);
    for (int i = 0; i < 400 + n % 7; ++i)
        db.programmes.add(Programme{"song-" + std::to_string(n), Date(2026, 1 + i % 12, 1 + i % 28),
                                    TimeOfDay(i % 24, i % 60)},
                          "p" + std::to_string(i));
    return db;
}

[[noreturn]] void writeVersionsForever(const std::filesystem::path& file, long first) {
    StorageWrapper<DB> db;
    db.load(file);
    for (long n = first;; ++n) {
        db.edit() = databaseVersion(n);
        try {
            db.saveForce();
        } catch (...) {
            _exit(3);
        }
    }
}

// How long one version takes to build and write in this build, on this machine: the kills are
// spread over a few of those, so that they land before, inside and after writes however slowly a
// sanitizer runs. Leaves a version stored.
std::chrono::microseconds longestOfThreeWrites(const std::filesystem::path& file) {
    StorageWrapper<DB> db;
    db.load(file);
    std::chrono::microseconds longest{0};
    for (long n = 1; n <= 3; ++n) {
        const auto start = std::chrono::steady_clock::now();
        db.edit() = databaseVersion(n);
        db.saveForce();
        longest = std::max(longest, std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now() - start));
    }
    return longest;
}

TEST(CrashSafety, KilledWritersNeverLeaveABrokenDatabase) {
    TempDir dir;
    const auto file = dir.path() / "_db.json";
    const auto oneWrite = longestOfThreeWrites(file);
    std::mt19937 random(20261208);
    // A writer also has to start and load before it writes, which takes longer while other tests
    // share the machine: a round that renewed nothing widens the spread by a quarter, one that
    // renewed the database narrows it again, so that the kills keep landing around the writes.
    long spreadMicros = 3 * oneWrite.count();
    std::string previous = readWholeFile(file).value_or("");
    int renewed = 0;
    for (long round = 0; round < 200; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            writeVersionsForever(file, round * 1'000'000);
        ::usleep(static_cast<useconds_t>(std::uniform_int_distribution<long>(0, spreadMicros)(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with status " << WEXITSTATUS(status);

        const auto text = readWholeFile(file);
        ASSERT_TRUE(text) << "round " << round << " left no database";
        DB stored;
        ASSERT_NO_THROW(stored = from_json<DB>(*text)) << "round " << round;
        const long n = std::stol(stored.settings.alarmSignalId.substr(1));
        ASSERT_EQ(*text, to_json(databaseVersion(n))) << "round " << round << " left a mixture of versions";
        if (*text != previous) {
            ++renewed;
            spreadMicros = std::max(spreadMicros * 4 / 5, oneWrite.count());
        } else {
            spreadMicros += spreadMicros / 4;
        }
        previous = *text;
    }
    // The writers did replace the database, round after round, and not only in a few lucky ones.
    EXPECT_GE(renewed, 20) << "one write takes " << oneWrite.count() << " us; kills spread over "
                           << spreadMicros << " us at the end";

    // Writers killed in the middle leave temporary files; the next load clears them away.
    std::ofstream(dir.path() / "._db.json.tmp-Ab3xYz") << "{";
    std::ofstream(dir.path() / "._db.json.tmp-keep-me") << "not ours";
    StorageWrapper<DB> db;
    ASSERT_TRUE(db.load(file));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"._db.json.tmp-keep-me", "_db.json"}));
}

} // namespace
