#pragma once
// The two functions of the Windows Media Control Interface (winmm.dll) that the system uses, behind
// an interface that tests can replace, so that the exact command strings can be checked anywhere.
#include <cstdint>
#include <functional>
#include <string>

namespace tollwick {

struct Mci {
    // mciSendStringW with a 600-character answer buffer of which 599 are offered, and no callback
    // window: sends one command (UTF-8 here, UTF-16 for Windows) and answers MCI's status, 0 for
    // success, with the answer text up to its first NUL in `answer`.
    std::function<std::uint32_t(const std::string& command, std::string& answer)> sendString;
    // mciGetErrorStringW into a 600-character buffer of which 599 are offered: the text of a
    // status, up to its first NUL.
    std::function<std::string(std::uint32_t status)> getErrorString;
};

// The real MCI of winmm.dll. Only the Windows build has it.
Mci systemMci();

// Sends `command` through `mci` and answers MCI's answer text. When MCI reports an error, logs at
// error level and throws an Error with the text "\n    Error <status> for command:\n        <command>
// \n    <MCI's text for the status>" (without the blank before the last line break).
std::string mciCommand(const Mci& mci, const std::string& command);

// The playing time of `path` in seconds as MCI measures it: the file is opened under an alias of its
// own ("tollwickLength" and a number), asked for its length in milliseconds and closed again.
// UNMEASURABLE (-1) when MCI cannot open or measure it. Logs nothing.
double mciAudioSeconds(const Mci& mci, const std::string& path);

} // namespace tollwick
