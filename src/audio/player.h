#pragma once
// The player front. Every sound the system makes (a scheduled bell, a signal triggered by hand, an
// announcement, the alarm) is a play request here: an ordered list of audio files played by a
// playing thread of its own. Requests play side by side; each can be aborted through the thread it
// returned, all can be stopped at once, and the front tells whether anything is playing.
//
// One Player is built by start-up and handed by reference to whoever plays sound.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/file_player.h"
#include "audio/play_bound.h"
#include "audio/play_observer.h"
#include "audio/player_thread.h"

namespace tollwick {

class Clock;
class PlayerRegistry;

// The repeat count that means "again and again until aborted".
inline constexpr int INFINITE_REPEAT = -1;

class Player {
public:
    // `clock` dates the "Playing:" log lines and must outlive the Player; `factory` makes the file
    // player of each playing thread.
    explicit Player(const Clock& clock, FilePlayerFactory factory = defaultFilePlayerFactory());
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    // Aborts every playing thread, cuts their pauses short and waits until all have ended, so that
    // none outlives the clock and file player factory it was given. Start-up never destroys its
    // Player; this is for tests and any other owner with a shorter life.
    ~Player();

    // Starts a playing thread for `paths`, pausing `delay` seconds after every file that another
    // follows, round and round when `infiniteRepeat` is set. When any path names nothing that
    // exists, logs "ERROR: File does not exist: <path>" at error level and answers nullptr: nothing
    // plays and nothing is registered. The thread counts as playing from now until it ends or
    // stopAll; an empty list gives a thread that ends at once.
    //
    // The files of `removeWhenDone` are deleted when the thread has ended, or, when nothing plays,
    // at once on a short-lived thread of their own: the caller may be the scheduler, which does
    // no file work.
    //
    // `observer`, when given, hears when the first file starts and how the request ends; a
    // missing file ends it at once, on the calling thread.
    //
    // `priority` says how the request stands against MAX_PLAYS_IN_PROGRESS (see PlayPriority). A
    // request refused at the bound plays nothing, deletes the files of `removeWhenDone`, ends as
    // PlayEnd::REFUSED and throws TooManyPlaysError; a play that makes way for it ends as stopped.
    std::shared_ptr<PlayerThread> playFiles(std::vector<std::string> paths, double delay = 0.0,
                                            bool infiniteRepeat = false, std::vector<std::string> removeWhenDone = {},
                                            std::shared_ptr<PlayObserver> observer = {},
                                            PlayPriority priority = PlayPriority::DUE);

    // As playFiles with `paths` repeated `rounds` times, without making that list: a repeat count
    // comes from the user, and a large one must not cost memory. Zero rounds play nothing and
    // check no path.
    std::shared_ptr<PlayerThread> playFilesRepeated(std::vector<std::string> paths, std::uint64_t rounds,
                                                    double delay = 0.0, std::shared_ptr<PlayObserver> observer = {},
                                                    PlayPriority priority = PlayPriority::DUE);

    // Aborts every registered thread and empties the registry; does not wait for the threads,
    // which fall silent within a tick. isPlaying() is false when this returns (until the next request).
    void stopAll();

    // True while at least one request is registered, its pauses included.
    bool isPlaying() const;

    // Waits until every thread this Player started has ended (not only left the registry); false
    // when `timeout` passed first. For tests, which must not leave threads behind them.
    bool waitUntilAllEnded(std::chrono::steady_clock::duration timeout) const;

private:
    std::shared_ptr<PlayerThread> startThread(std::vector<std::string> paths, std::uint64_t rounds, double delay,
                                              bool infiniteRepeat, std::vector<std::string> removeWhenDone,
                                              std::shared_ptr<PlayObserver> observer, PlayPriority priority);

    // What startThreadHere made of a request: its thread (nullptr when a file is missing), or a
    // refusal at the bound. The refusal is thrown by the requesting thread: an exception made on
    // the starter's thread and caught on another would be shared by the two.
    struct Started {
        std::shared_ptr<PlayerThread> thread;
        bool refused = false;
    };

    // startThread on the calling thread.
    Started startThreadHere(std::vector<std::string> paths, std::uint64_t rounds, double delay, bool infiniteRepeat,
                            std::vector<std::string> removeWhenDone, std::shared_ptr<PlayObserver> observer,
                            PlayPriority priority);

    // A playing thread and its player program take the priority of the thread that starts them. A
    // request worker runs below normal priority, so that requests never keep a bell from the
    // processor; what it asks to play (the alarm, an announcement) is started by this thread,
    // made with the Player, at the priority the Player was made at.
    class Starter;

    std::shared_ptr<PlayerRegistry> _registry;
    const Clock& _clock;
    FilePlayerFactory _factory;
    const int _niceness; // of the thread that made the Player
    std::unique_ptr<Starter> _starter;
};

// Plays `path` `count` times, pausing `delay` seconds between two plays; INFINITE_REPEAT repeats it
// until aborted, and a count of 0 or another negative count plays nothing (but still answers a
// thread, which ends at once). `observer` and `priority` as for Player::playFiles.
std::shared_ptr<PlayerThread> playAudioFile(Player& player, const std::string& path, int count = 1, double delay = 0.0,
                                            std::shared_ptr<PlayObserver> observer = {},
                                            PlayPriority priority = PlayPriority::DUE);

// Plays `paths` once each, in order, pausing `delay` seconds between two of them; deletes the files
// of `removeWhenDone` afterwards, as Player::playFiles does.
std::shared_ptr<PlayerThread> playAudioQueue(Player& player, std::vector<std::string> paths, double delay = 0.0,
                                             std::vector<std::string> removeWhenDone = {},
                                             std::shared_ptr<PlayObserver> observer = {},
                                             PlayPriority priority = PlayPriority::DUE);

// Stops every request that is playing.
void stopAllPlay(Player& player);

} // namespace tollwick
