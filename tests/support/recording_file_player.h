#pragma once
// A file player that plays nothing and records what the playing threads ask of it: which files
// were started and closed, when, by which player, and whether the close was an abort. A file
// "sounds" for a set time after its start, on the steady clock or on a pause clock given. Tests can make a start, a
// status query or a close of a given path fail.
//
// The recorder is shared by the test and every player it made, so a player that outlives the test
// body still records into live memory.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio/file_player.h"
#include "audio/pause_clock.h"

namespace tollwick::test {

using SteadyTime = std::chrono::steady_clock::time_point;

struct PlayEvent {
    enum class Kind { START, CLOSE };
    Kind kind;
    std::string path;
    std::size_t player;      // which player made by the factory, from 0
    bool wasAborted = false; // closes only
    SteadyTime at;
    std::thread::id thread = std::this_thread::get_id(); // which thread asked
};

class PlayRecorder : public std::enable_shared_from_this<PlayRecorder> {
public:
    static std::shared_ptr<PlayRecorder> create() { return std::shared_ptr<PlayRecorder>(new PlayRecorder({})); }
    // Files sound by the time of `clock`, and events are dated by it.
    static std::shared_ptr<PlayRecorder> create(std::shared_ptr<const PauseClock> clock) {
        return std::shared_ptr<PlayRecorder>(new PlayRecorder(std::move(clock)));
    }

    // Makes recording players; they keep this recorder alive.
    FilePlayerFactory factory();

    // How long a started file sounds: `path` specifically, or any file without a time of its own.
    void setPlayTime(std::chrono::milliseconds time);
    void setPlayTime(const std::string& path, std::chrono::milliseconds time);
    // Whether the players let a play's first file be started by whoever asks for the play.
    void setStartsOnAnyThread(bool anyThread);
    enum class Operation { START, POLL, CLOSE };
    // Makes startPlay, isPlaying or closeFile of `path` throw an Error with `message`.
    void fail(Operation operation, const std::string& path, std::string message);

    std::vector<PlayEvent> events() const;
    std::vector<PlayEvent> events(PlayEvent::Kind kind) const;
    // The paths started, in order.
    std::vector<std::string> started() const;
    std::size_t playersMade() const;
    // Files started and not yet closed.
    std::size_t sounding() const;
    // Waits until `condition` holds for the events; false when `timeout` passed first.
    bool waitUntil(const std::function<bool(const std::vector<PlayEvent>&)>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Waits until at least `count` events of `kind` were recorded.
    bool waitForEvents(PlayEvent::Kind kind, std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool waitForStarts(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool waitForCloses(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // For the players.
    std::size_t newPlayer();
    void record(PlayEvent event);
    std::chrono::milliseconds playTimeOf(const std::string& path) const;
    bool startsOnAnyThread() const;
    void throwIfFailing(Operation operation, const std::string& path) const;
    SteadyTime now() const { return _clock ? _clock->now() : std::chrono::steady_clock::now(); }

private:
    explicit PlayRecorder(std::shared_ptr<const PauseClock> clock) : _clock(std::move(clock)) {}

    const std::shared_ptr<const PauseClock> _clock; // none: the steady clock

    mutable std::mutex _mutex; // guards everything here
    mutable std::condition_variable _changed;
    std::vector<PlayEvent> _events;
    std::chrono::milliseconds _defaultPlayTime{0};
    std::map<std::string, std::chrono::milliseconds> _playTimes;
    std::map<std::pair<Operation, std::string>, std::string> _failures;
    std::size_t _players = 0;
    bool _startsOnAnyThread = false;
};

} // namespace tollwick::test
