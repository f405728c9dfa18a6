#pragma once
// The Windows programs installed as the release lays them out, in a scratch directory, and started
// by a test with a command line and a log of their own.
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace tollwick::test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A port on 127.0.0.1 that nothing listens on now: the system picks it for a socket that is then
// closed.
inline int freePort() {
    WSADATA winsock{};
    ::WSAStartup(MAKEWORD(2, 2), &winsock);
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);
    ::WSACleanup();
    return ::ntohs(address.sin_port);
}

// The program started with a command line of its own, its output going to a log file. It is ended
// with the test if it is still running.
class Program {
public:
    Program(const fs::path& exe, const std::wstring& arguments, const fs::path& log) : _log(log) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        _output = ::CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE;
        startup.hStdOutput = _output;
        startup.hStdError = _output;
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                             exe.parent_path().c_str(), &startup, &process)) {
            _process = process.hProcess;
            ::CloseHandle(process.hThread);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (_process != nullptr) {
            ::TerminateProcess(_process, 1);
            ::WaitForSingleObject(_process, 10000);
            ::CloseHandle(_process);
        }
        ::CloseHandle(_output);
    }

    bool started() const { return _process != nullptr; }
    bool running() const { return _process != nullptr && ::WaitForSingleObject(_process, 0) == WAIT_TIMEOUT; }
    // True once the process has ended, false when `limit` passed first.
    bool endsWithin(std::chrono::seconds limit) const {
        return _process != nullptr &&
               ::WaitForSingleObject(_process, static_cast<DWORD>(limit.count() * 1000)) == WAIT_OBJECT_0;
    }
    DWORD id() const { return _process != nullptr ? ::GetProcessId(_process) : 0; }
    std::string log() const { return contentOf(_log); }

private:
    fs::path _log;
    HANDLE _output = INVALID_HANDLE_VALUE;
    HANDLE _process = nullptr;
};

// Polls `condition` every 50 ms until it holds; false when `limit` passed first.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::seconds limit) {
    for (const Clock::time_point until = Clock::now() + limit; Clock::now() < until;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

struct InstalledProgram : ::testing::Test {
    TempDir tmp;
    fs::path install = tmp.path() / "Program Files" / "Tollwick Player";
    fs::path appData = tmp.path() / "Roaming";
    int port = freePort();
    ScopedEnv appDataEnv{"APPDATA", appData.string()};
    ScopedEnv noDataDir{"TOLLWICK_DATA_DIR", std::nullopt};
    ScopedEnv noDebug{"FLASK_DEBUG", std::nullopt};
    // Nothing listens there: the phone-home fails at once instead of looking for the real service.
    ScopedEnv service{"TOLLWICK_SERVICE_URL", "http://127.0.0.1:9"};

    void SetUp() override {
        fs::create_directories(install);
        fs::copy_file(TOLLWICK_PLAYER_EXE, install / "tollwick-player.exe");
        fs::copy_file(TOLLWICK_TRAY_EXE, install / "tollwick-tray.exe");
        fs::copy(fs::path(TOLLWICK_SOURCE_DIR) / "assets", install / "assets", fs::copy_options::recursive);
        std::ofstream(install / "assets" / "version.info") << "9.8.7\n";
    }
};

} // namespace tollwick::test
