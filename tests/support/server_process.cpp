#include "support/server_process.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/capability.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <httplib.h>

extern char** environ;

namespace tollwick::test {

namespace {

// Binds a probe socket to 127.0.0.1:`port` (0: any port) and answers the port it got, or 0.
int probePort(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

} // namespace

int freePort() {
    // Taken below the range the kernel gives to outgoing connections (32768 and up), so that no
    // client socket of a test running beside this one takes the port before the server binds it.
    // Each test process walks the range from a start of its own.
    constexpr int FIRST = 20000, COUNT = 12000;
    static std::atomic<int> next{static_cast<int>(::getpid() * 7 % COUNT)};
    for (int tries = 0; tries < 200; ++tries)
        if (const int port = probePort(FIRST + next.fetch_add(1) % COUNT))
            return port;
    return probePort(0);
}

std::filesystem::path serverProgram() {
    return std::filesystem::path(TOLLWICK_BINARY_DIR) / "tollwick-player";
}

void makeUnreadableForServer(const std::filesystem::path& file) {
    ::chmod(file.c_str(), 0);
}

long memoryKiB(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(field + ":"))
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

ServerProcess::ServerProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                             const std::filesystem::path& logFile, bool honourFileModes, std::size_t stackBytes)
    : _logFile(logFile) {
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const auto name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& extra : env)
            replaced = replaced || extra.starts_with(name);
        if (!replaced)
            environment.push_back(entry);
    }
    environment.insert(environment.end(), env.begin(), env.end());
    // A program built for another machine runs under the build's emulator (found on PATH).
    std::vector<std::string> argv;
    if (const std::string emulator = TOLLWICK_TEST_EMULATOR; !emulator.empty())
        argv.push_back(emulator);
    argv.push_back(serverProgram().string());
    argv.insert(argv.end(), args.begin(), args.end());

    _pid = ::fork();
    if (_pid == 0) {
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(log, STDERR_FILENO);
        ::dup2(log, STDOUT_FILENO);
        // Root keeps its own user and files, so the program and its data stay reachable wherever the
        // checkout lies; only the capabilities that override the mode bits leave, for good.
        if (honourFileModes && ::geteuid() == 0 &&
            (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
             ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0))
            ::_exit(126);
        if (stackBytes > 0) {
            const rlimit stack{stackBytes, stackBytes};
            if (::setrlimit(RLIMIT_STACK, &stack) != 0)
                ::_exit(126);
        }
        std::vector<char*> cargs, cenv;
        for (auto& a : argv)
            cargs.push_back(a.data());
        cargs.push_back(nullptr);
        for (auto& e : environment)
            cenv.push_back(e.data());
        cenv.push_back(nullptr);
        ::execvpe(cargs[0], cargs.data(), cenv.data());
        ::_exit(127);
    }
}

ServerProcess::~ServerProcess() {
    if (_pid > 0 && !_reaped) {
        ::kill(_pid, SIGKILL);
        ::waitpid(_pid, nullptr, 0);
    }
}

bool ServerProcess::waitUntilServing(int port) {
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(_pid, nullptr, WNOHANG) == _pid) {
            _reaped = true;
            return false;
        }
        httplib::Client client("127.0.0.1", port);
        client.set_connection_timeout(0, 200000);
        if (auto answer = client.Get("/whoami"); answer && answer->status == 200)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int ServerProcess::waitForExit(int seconds) {
    for (int i = 0; i < seconds * 50; ++i) {
        int status = 0;
        if (::waitpid(_pid, &status, WNOHANG) == _pid) {
            _reaped = true;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

void ServerProcess::signal(int sig) {
    ::kill(_pid, sig);
}

std::string ServerProcess::log() const {
    std::ifstream in(_logFile);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int runServerToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   const std::filesystem::path& logFile, bool honourFileModes) {
    ServerProcess process(args, env, logFile, honourFileModes);
    const int status = process.waitForExit(20);
    if (status == -1)
        return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

} // namespace tollwick::test
