#pragma once
// The player front. Every sound the system makes (a scheduled bell, a signal triggered by hand, an
// announcement, the alarm) is a play request here: an ordered list of audio files played by a
// playing thread of its own. Requests play side by side; each can be aborted through the thread it
// returned, all can be stopped at once, and the front tells whether anything is playing.
//
// One Player is built by start-up and handed by reference to whoever plays sound.
#include <chrono>
#include <memory>

#include "audio/file_player.h"
#include "audio/pause_clock.h"
#include "audio/play_bound.h"
#include "audio/play_observer.h"
#include "audio/player_thread.h"
#include "model/play_request.h"

namespace tollwick {

class Clock;
class PlayerRegistry;

class Player {
public:
    // `clock` dates the "Playing:" log lines and must outlive the Player; `factory` makes the file
    // player of each playing thread; the playing threads pause by `pauses` (see PauseClock) and
    // time their plays by it.
    explicit Player(const Clock& clock, FilePlayerFactory factory = defaultFilePlayerFactory(),
                    std::shared_ptr<PauseClock> pauses = std::make_shared<SteadyPauseClock>());
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    // Aborts every playing thread, cuts their pauses short and waits until all have ended, so that
    // none outlives the clock and file player factory it was given. Start-up never destroys its
    // Player; this is for tests and any other owner with a shorter life.
    ~Player();

    // Starts a playing thread for `request`: its paths in order, `rounds` times over (ENDLESS: until
    // aborted), pausing `delay` seconds after every file that another follows. The thread counts as
    // playing from now until it ends or stopAll; zero rounds or no paths give a thread that ends at
    // once. Touches no file on the calling thread, which may be the scheduler's: the playing thread
    // learns whether the files are there, and when one is missing it logs
    // "ERROR: File does not exist: <path>" at error level and ends the play as failed, with
    // nothing heard.
    //
    // The files of `removeWhenDone` are deleted when the thread has ended.
    //
    // `observer`, when given, hears when the first file starts and how the request ends.
    //
    // `priority` says how the request stands against MAX_PLAYS_IN_PROGRESS (see PlayPriority). A
    // request refused at the bound plays nothing, deletes the files of `removeWhenDone` (on a
    // thread of its own), ends as PlayEnd::REFUSED and throws TooManyPlaysError; a play that makes
    // way for it ends as stopped.
    std::shared_ptr<PlayerThread> play(PlayRequest request, std::shared_ptr<PlayObserver> observer = {},
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
    // What startThreadHere made of a request: its thread, or a refusal at the bound. The refusal
    // is thrown by the requesting thread: an exception made on the starter's thread and caught on
    // another would be shared by the two.
    struct Started {
        std::shared_ptr<PlayerThread> thread;
        bool refused = false;
    };

    // play() on the calling thread.
    Started startThreadHere(PlayRequest request, std::shared_ptr<PlayObserver> observer, PlayPriority priority);

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

} // namespace tollwick
