#include "runtime/child_process.h"

#include "runtime/errors.h"
#include "runtime/spawn_settings_posix.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tollwick {
namespace {

std::string describeErrno(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : _fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    int get() const { return _fd; }
    bool isOpen() const { return _fd >= 0; }
    void close() {
        if (_fd >= 0) {
            ::close(_fd);
            _fd = -1;
        }
    }

private:
    int _fd = -1;
};

struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

Pipe makePipe() {
    // Close-on-exec, so that children started meanwhile by other threads do not hold our
    // write ends open; the child's dup2 onto 1 and 2 clears the flag for the copies it keeps.
    std::array<int, 2> fds{};
    if (pipe2(fds.data(), O_CLOEXEC) != 0) {
        throw Error(describeErrno("cannot create a pipe", errno));
    }
    return Pipe{FileDescriptor(fds[0]), FileDescriptor(fds[1])};
}

// Reads both pipes until the child has closed them. Both are read as data arrives, because a
// child that fills one pipe while we wait on the other would never finish.
void drain(FileDescriptor& outPipe, FileDescriptor& errPipe, ProcessOutput& output) {
    std::array<char, 8192> buffer{};
    while (outPipe.isOpen() || errPipe.isOpen()) {
        std::array<pollfd, 2> watched{pollfd{outPipe.get(), POLLIN, 0}, pollfd{errPipe.get(), POLLIN, 0}};
        if (poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Error(describeErrno("cannot wait for a child's output", errno));
        }
        for (std::size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].fd < 0 || watched[i].revents == 0) {
                continue;
            }
            FileDescriptor& source = i == 0 ? outPipe : errPipe;
            std::string& sink = i == 0 ? output.out : output.err;
            ssize_t count = read(source.get(), buffer.data(), buffer.size());
            if (count > 0) {
                sink.append(buffer.data(), static_cast<std::size_t>(count));
            } else if (count == 0) {
                source.close();
            } else if (errno != EINTR && errno != EAGAIN) {
                throw Error(describeErrno("cannot read a child's output", errno));
            }
        }
    }
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            throw Error(describeErrno("cannot wait for a child process", errno));
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

} // namespace

ProcessOutput runProcess(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        throw Error("cannot start a process without a program name");
    }
    Pipe outPipe = makePipe();
    Pipe errPipe = makePipe();

    std::vector<char*> arguments;
    arguments.reserve(argv.size() + 1);
    for (const std::string& argument : argv) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);

    pid_t pid = 0;
    int spawnError = 0;
    {
        SpawnSettings settings;
        settings.open(STDIN_FILENO, "/dev/null", O_RDONLY);
        settings.duplicate(outPipe.writeEnd.get(), STDOUT_FILENO);
        settings.duplicate(errPipe.writeEnd.get(), STDERR_FILENO);
        spawnError = posix_spawnp(&pid, argv.front().c_str(), settings.actions(), settings.attributes(),
                                  arguments.data(), environ);
    }
    // Only the child may hold the write ends, or the pipes would never report end of file.
    outPipe.writeEnd.close();
    errPipe.writeEnd.close();
    if (spawnError != 0) {
        throw Error(describeErrno("cannot start " + argv.front(), spawnError));
    }

    ProcessOutput output;
    try {
        drain(outPipe.readEnd, errPipe.readEnd, output);
    } catch (...) {
        // Closing our ends lets the child end on SIGPIPE instead of blocking; reap it either way.
        outPipe.readEnd.close();
        errPipe.readEnd.close();
        waitForExit(pid);
        throw;
    }
    output.exitStatus = waitForExit(pid);
    return output;
}

} // namespace tollwick
