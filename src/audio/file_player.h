#pragma once
// FilePlayer: plays one audio file at a time for one playing thread, through whatever the platform
// offers. Each platform supplies its own in a file of its own, and the build picks the default.
#include <functional>
#include <memory>
#include <string>

namespace tollwick {

class FilePlayer {
public:
    FilePlayer() = default;
    FilePlayer(const FilePlayer&) = delete;
    FilePlayer& operator=(const FilePlayer&) = delete;
    virtual ~FilePlayer() = default;

    // Starts playing `path` and returns without waiting for its end. Throws an Error whose text
    // says why the file cannot be played.
    virtual void startPlay(const std::string& path) = 0;

    // True while the file started last is still sounding. Never blocks for long.
    virtual bool isPlaying() = 0;

    // Releases the file started last, silencing it first when `wasAborted` is true. May throw.
    virtual void closeFile(bool wasAborted) = 0;

    // Whether startPlay may run on another thread than the later calls. A play's first file is
    // then started by whoever asks for the play, without waiting for the playing thread to be
    // scheduled: a bell sounds that much sooner after its second.
    virtual bool startsOnAnyThread() const noexcept { return false; }
};

// Makes the file player of one playing thread.
using FilePlayerFactory = std::function<std::unique_ptr<FilePlayer>()>;

// The factory of the platform this program was built for.
FilePlayerFactory defaultFilePlayerFactory();

} // namespace tollwick
