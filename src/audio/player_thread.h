#pragma once
// PlayerThread: the playing thread of one play request. It plays its files one after another
// through its own file player, pausing between two of them, possibly round and round, until the
// queue is done or it is aborted. Made and started only by Player::play.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/file_player.h"
#include "audio/play_observer.h"
#include "model/play_request.h"
#include "runtime/daemon_thread.h"

namespace tollwick {

class Clock;
class PlayerRegistry;

class PlayerThread : public DaemonThread {
public:
    // How often a sounding file is polled; an abort silences it within one such tick.
    static constexpr int TICKS_PER_SECOND = 20;

    // Asks the thread to stop: it leaves its polling loop or its pause between files within a
    // tick, closes the file as aborted and ends. A thread told before its first file started plays
    // nothing.
    // Only ever goes from false to true.
    void abortPlay() noexcept;
    bool isAborted() const noexcept { return _doAbort.load(); }

    // The queue as requested, played `rounds()` times over (ENDLESS: until aborted).
    const std::vector<std::string>& paths() const noexcept { return _paths; }
    Rounds rounds() const noexcept { return _rounds; }
    double delay() const noexcept { return _delay; }

protected:
    void run() override;
    void onFinished() noexcept override;

private:
    friend class Player;
    PlayerThread(std::shared_ptr<PlayerRegistry> registry, const Clock& clock, PlayRequest request,
                 std::unique_ptr<FilePlayer> player, std::uint64_t serial, std::shared_ptr<PlayObserver> observer);

    // Called by Player before the thread starts: starts the first file on the calling thread when
    // the file player allows it (FilePlayer::startsOnAnyThread), without a word logged and without
    // touching a file; the thread then only watches it. Whether the files are there is the
    // thread's to learn: a play with a missing file has its first file closed before it is heard.
    void startFirstFileHere() noexcept;

    // False, with the reason logged and in `failure`, when a file of the queue is not there.
    bool filesExist(std::string& failure) const;

    bool morePlaysDue(std::uint64_t started) const noexcept;
    // Plays the queue; answers how it ended and, for a failure, why.
    PlayEnd playQueue(std::string& failure);
    // Starts the file at `path`; false when it could not be started, with the reason in `failure`.
    // The "Playing:" line is left out when `quiet`.
    bool startOne(const std::string& path, bool quiet, std::string& failure);
    void logPlaying(const std::string& path) const;
    void reportStart(const LocalMoment& at);
    // Lets the file started last sound to its end or to an abort, then closes it.
    void finishOne(const std::string& path);
    void removeFilesWhenDone() noexcept;

    std::shared_ptr<PlayerRegistry> _registry;
    const Clock& _clock;
    const std::vector<std::string> _paths;
    const Rounds _rounds;
    const double _delay;
    std::unique_ptr<FilePlayer> _player;            // used by this thread only; released when it ends
    const std::vector<std::string> _removeWhenDone; // files deleted once the thread has ended its play
    const std::shared_ptr<PlayObserver> _observer;  // told when the first file starts and when the play ends
    bool _startReported = false;                    // used by this thread only
    bool _lastClosedAborted = false;                // used by this thread only
    // The first file's start when startFirstFileHere made it, before the thread ran.
    enum class FirstStart { NOT_MADE, STARTED, FAILED } _firstStart = FirstStart::NOT_MADE;
    std::string _firstFailure;
    std::chrono::steady_clock::time_point _firstStartedAt;
    LocalMoment _firstStartedMoment;
    std::atomic<bool> _doAbort{false};
};

} // namespace tollwick
