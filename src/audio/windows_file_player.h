#pragma once
// WindowsFilePlayer: plays a file through the Windows Media Control Interface with text commands.
// Every file is opened under an alias of its own, "tollwickSong" followed by a number that all
// players of the process draw from one counter, so no two files ever share an alias: the first
// file of the process is tollwickSong0, the next tollwickSong1, across all playing threads.
#include <atomic>
#include <cstdint>
#include <string>

#include "audio/file_player.h"
#include "audio/mci.h"

namespace tollwick {

class WindowsFilePlayer : public FilePlayer {
public:
    // `mci` is the real one on Windows; tests pass one that records the commands.
    explicit WindowsFilePlayer(Mci mci);

    // Sends `open "<path>" alias <alias>` (no device type: MCI chooses it by the file's extension),
    // then `play <alias>`, which returns at once. An MCI error of either ends it with that error.
    void startPlay(const std::string& path) override;

    // Sends `status <alias> mode`; true exactly when the answer is "playing".
    bool isPlaying() override;

    // Sends `close <alias>` whether or not the play was aborted; closing silences a file still
    // playing.
    void closeFile(bool wasAborted) override;

    // The alias of the file started last; empty before the first.
    const std::string& alias() const noexcept { return _alias; }

    // Shared by all Windows players of the process; each startPlay takes its value and adds 1.
    static std::atomic<std::uint64_t> isinstanceCounter;

private:
    std::string _winCommand(const std::string& command) const { return mciCommand(_mci, command); }

    Mci _mci;
    std::string _alias;
};

} // namespace tollwick
