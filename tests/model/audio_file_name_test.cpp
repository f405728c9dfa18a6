// The one rule for the names of songs' sound files: only the forms this system gives them pass,
// never one of the files it keeps for itself.
#include <gtest/gtest.h>

#include <string>

#include "model/audio_file_name.h"

using namespace tollwick;

namespace {

TEST(AudioFileName, OnlyTheFormsTheSystemGivesSoundFilesPass) {
    const std::pair<std::string, bool> cases[] = {
        {"0f8fad5b-d9cb-469f-a165-70867728950e.wav", true},  // an upload
        {"0F8FAD5B-D9CB-469F-A165-70867728950E.wav", false}, // no UUID of ours is in capitals
        {"0f8fad5b-d9cb-469f-a165-70867728950e.ogg", false},
        {"p-ping.mp3", true},                                             // a built-in signal
        {"Ansage_7.mp3", true},                                           // a programmed announcement
        {"Ansage_7.wav", false},                                          // announcements come as MP3 only
        {"announcement-0f8fad5b-d9cb-469f-a165-70867728950e.mp3", false}, // played once, then gone
        {"nul.mp3", false},                                               // devices on Windows
        {"COM1.mp3", false},
        {"_shadow.json", false},
        {"._db.json.tmp-a1b2c3", false},
        {"_db.json.refused-20240902T100000", false},
        {"../p-ping.mp3", false},
        {"a.b.mp3", false},
        {std::string(129, 'a') + ".mp3", false},
    };
    for (const auto& [name, passes] : cases)
        EXPECT_EQ(isAudioFileName(name), passes) << name;
}

} // namespace
