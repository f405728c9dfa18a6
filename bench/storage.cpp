// Prints the cost of the save check that the writer thread makes for a document touched since its
// last look, when nothing changed (a fingerprint) and when something did (a fingerprint, the JSON
// text and a crash-safe write to disk).
#include <cstdio>
#include <filesystem>

#include "large_document.h"
#include "storage/storage_wrapper.h"

using namespace tollwick;
using namespace tollwick::bench;

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "tollwick-bench-storage";
    std::filesystem::create_directories(dir);
    StorageWrapper<DB> db;
    db.load(dir / "_db.json");
    db.edit() = databaseShapedDocument();
    db.saveAuto(); // the baseline
    std::printf("document: 500 songs, 200 timetables x 2 channels x 12 lessons, 1000 programmes\n");

    report("saveAuto, nothing changed", 200, [&] { db.saveAuto(); });
    int n = 0;
    report("saveAuto, one setting changed", 30, [&] {
        db.edit().settings.alarmDelaySec = ++n;
        db.saveAuto();
    });
    std::printf("file size: %ju bytes\n", static_cast<std::uintmax_t>(std::filesystem::file_size(dir / "_db.json")));
    std::filesystem::remove_all(dir);
    return 0;
}
