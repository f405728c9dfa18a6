// Prints the cost of the two walks over a whole database: the fingerprint, taken for every
// document on every scheduler pass (ten times a second), and the JSON text, made when it is saved.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "model/json_text.h"
#include "storage/documents.h"

using namespace tollwick;
using Clock = std::chrono::steady_clock;

namespace {

DB databaseShapedDocument() {
    DB db;
    for (int i = 0; i < 500; ++i)
        db.songs.add(AudioAsset{"Song " + std::to_string(i), "0123456789abcdef0123456789abcdef",
                                "file-" + std::to_string(i) + ".mp3", 3 + i % 60, AudioAssetCategory::USER_SIGNAL});
    for (int t = 0; t < 200; ++t) {
        TimeTable tt;
        tt.name = "Timetable " + std::to_string(t);
        for (SignalTable* ch : {&tt.chA, &tt.chB}) {
            ch->lessons.clear();
            for (int l = 0; l < 12; ++l)
                ch->lessons.push_back({TimeOfDay(7 + l, 0), TimeOfDay(7 + l, 45)});
            ch->startOfClass.id = "ID_melody";
            ch->preStart.id = "ID_ping";
        }
        tt.customPlays.push_back(UserPlay{PlayDesc{"ID_ring"}, {TimeOfDay(10, 0), TimeOfDay(12, 0)}});
        db.timetables.add(std::move(tt));
    }
    for (int p = 0; p < 1000; ++p)
        db.programmes.add(Programme{"song-" + std::to_string(p % 500), Date(2026, 1 + p % 12, 1 + p % 28),
                                    TimeOfDay(8 + p % 10, p % 60, p % 7)});
    return db;
}

template <class F>
void report(const char* what, int runs, F&& fn) {
    std::vector<double> micros;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        fn();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%-28s median %9.1f us   min %9.1f us   max %9.1f us   (%d runs)\n", what, micros[micros.size() / 2],
                micros.front(), micros.back(), runs);
}

} // namespace

int main() {
    const DB db = databaseShapedDocument();
    std::printf("document: 500 songs, 200 timetables x 2 channels x 12 lessons, 1000 programmes\n");
    volatile Fingerprint sink = 0;
    report("fingerprint", 200, [&] { sink = sink ^ fingerprintOf(db); });
    std::string text;
    report("to_json (JSON text)", 20, [&] { text = to_json(db); });
    std::printf("%-28s %zu bytes\n", "JSON text size", text.size());
    report("from_json (decode)", 20, [&] { (void)from_json<DB>(text); });
    return 0;
}
