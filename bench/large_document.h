#pragma once
// The database-shaped document the benchmarks measure, and a timer that prints its figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "storage/documents.h"

namespace tollwick::bench {

// 500 songs, 200 timetables with 12 lessons in each channel, 1,000 programmes.
inline DB databaseShapedDocument() {
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

// Runs `fn` `runs` times and prints the median, the fastest and the slowest run.
template <class F>
void report(const char* what, int runs, F&& fn) {
    std::vector<double> micros;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%-34s median %9.1f us   min %9.1f us   max %9.1f us   (%d runs)\n", what, micros[micros.size() / 2],
                micros.front(), micros.back(), runs);
}

} // namespace tollwick::bench
