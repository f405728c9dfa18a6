#include "audio/windows_file_player.h"

namespace tollwick {

std::atomic<std::uint64_t> WindowsFilePlayer::isinstanceCounter{0};

WindowsFilePlayer::WindowsFilePlayer(Mci mci) : _mci(std::move(mci)) {}

void WindowsFilePlayer::startPlay(const std::string& path) {
    _alias = "tollwickSong" + std::to_string(isinstanceCounter.fetch_add(1));
    _winCommand("open \"" + path + "\" alias " + _alias);
    _winCommand("play " + _alias);
}

bool WindowsFilePlayer::isPlaying() {
    return _winCommand("status " + _alias + " mode") == "playing";
}

void WindowsFilePlayer::closeFile(bool /*wasAborted*/) {
    _winCommand("close " + _alias);
}

} // namespace tollwick
