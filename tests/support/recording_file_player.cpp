#include "support/recording_file_player.h"

#include "runtime/errors.h"

#include <algorithm>

namespace tollwick::test {
namespace {

class RecordingFilePlayer : public FilePlayer {
public:
    explicit RecordingFilePlayer(std::shared_ptr<PlayRecorder> recorder)
        : _recorder(std::move(recorder)), _id(_recorder->newPlayer()) {}

    void startPlay(const std::string& path) override {
        _recorder->throwIfFailing(PlayRecorder::Operation::START, path);
        _path = path;
        _startedAt = _recorder->now();
        _recorder->record({PlayEvent::Kind::START, path, _id, false, _startedAt});
    }

    bool isPlaying() override {
        _recorder->throwIfFailing(PlayRecorder::Operation::POLL, _path);
        return _recorder->now() < _startedAt + _recorder->playTimeOf(_path);
    }

    void closeFile(bool wasAborted) override {
        _recorder->record({PlayEvent::Kind::CLOSE, _path, _id, wasAborted, _recorder->now()});
        _recorder->throwIfFailing(PlayRecorder::Operation::CLOSE, _path);
    }

    bool startsOnAnyThread() const noexcept override { return _recorder->startsOnAnyThread(); }

private:
    std::shared_ptr<PlayRecorder> _recorder;
    std::size_t _id;
    std::string _path;
    SteadyTime _startedAt;
};

} // namespace

FilePlayerFactory PlayRecorder::factory() {
    return [self = shared_from_this()] { return std::make_unique<RecordingFilePlayer>(self); };
}

void PlayRecorder::setPlayTime(std::chrono::milliseconds time) {
    std::scoped_lock lock(_mutex);
    _defaultPlayTime = time;
}

void PlayRecorder::setPlayTime(const std::string& path, std::chrono::milliseconds time) {
    std::scoped_lock lock(_mutex);
    _playTimes[path] = time;
}

void PlayRecorder::setStartsOnAnyThread(bool anyThread) {
    std::scoped_lock lock(_mutex);
    _startsOnAnyThread = anyThread;
}

bool PlayRecorder::startsOnAnyThread() const {
    std::scoped_lock lock(_mutex);
    return _startsOnAnyThread;
}

void PlayRecorder::fail(Operation operation, const std::string& path, std::string message) {
    std::scoped_lock lock(_mutex);
    _failures[{operation, path}] = std::move(message);
}

std::vector<PlayEvent> PlayRecorder::events() const {
    std::scoped_lock lock(_mutex);
    return _events;
}

std::vector<PlayEvent> PlayRecorder::events(PlayEvent::Kind kind) const {
    std::vector<PlayEvent> selected;
    for (PlayEvent& event : events()) {
        if (event.kind == kind) {
            selected.push_back(std::move(event));
        }
    }
    return selected;
}

std::vector<std::string> PlayRecorder::started() const {
    std::vector<std::string> paths;
    for (const PlayEvent& event : events(PlayEvent::Kind::START)) {
        paths.push_back(event.path);
    }
    return paths;
}

std::size_t PlayRecorder::playersMade() const {
    std::scoped_lock lock(_mutex);
    return _players;
}

std::size_t PlayRecorder::sounding() const {
    std::scoped_lock lock(_mutex);
    const auto starts = std::ranges::count(_events, PlayEvent::Kind::START, &PlayEvent::kind);
    return static_cast<std::size_t>(starts) - (_events.size() - static_cast<std::size_t>(starts));
}

bool PlayRecorder::waitUntil(const std::function<bool(const std::vector<PlayEvent>&)>& condition,
                             std::chrono::milliseconds timeout) const {
    std::unique_lock lock(_mutex);
    return _changed.wait_for(lock, timeout, [&] { return condition(_events); });
}

bool PlayRecorder::waitForEvents(PlayEvent::Kind kind, std::size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil(
        [kind, count](const std::vector<PlayEvent>& events) {
            return std::ranges::count(events, kind, &PlayEvent::kind) >= static_cast<std::ptrdiff_t>(count);
        },
        timeout);
}

bool PlayRecorder::waitForStarts(std::size_t count, std::chrono::milliseconds timeout) const {
    return waitForEvents(PlayEvent::Kind::START, count, timeout);
}

bool PlayRecorder::waitForCloses(std::size_t count, std::chrono::milliseconds timeout) const {
    return waitForEvents(PlayEvent::Kind::CLOSE, count, timeout);
}

std::size_t PlayRecorder::newPlayer() {
    std::scoped_lock lock(_mutex);
    return _players++;
}

void PlayRecorder::record(PlayEvent event) {
    {
        std::scoped_lock lock(_mutex);
        _events.push_back(std::move(event));
    }
    _changed.notify_all();
}

std::chrono::milliseconds PlayRecorder::playTimeOf(const std::string& path) const {
    std::scoped_lock lock(_mutex);
    const auto own = _playTimes.find(path);
    return own != _playTimes.end() ? own->second : _defaultPlayTime;
}

void PlayRecorder::throwIfFailing(Operation operation, const std::string& path) const {
    std::scoped_lock lock(_mutex);
    const auto failure = _failures.find({operation, path});
    if (failure != _failures.end()) {
        throw Error(failure->second);
    }
}

} // namespace tollwick::test
