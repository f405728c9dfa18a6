#include "runtime/child_process.h"

#include "runtime/errors.h"
#include "runtime/wide_text.h"

#include <windows.h>

#include <array>
#include <thread>
#include <vector>

namespace tollwick {
namespace {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : _handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }

    HANDLE get() const { return _handle; }
    HANDLE* out() { return &_handle; }
    void close() {
        if (_handle != nullptr && _handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(_handle);
        _handle = nullptr;
    }

private:
    HANDLE _handle = nullptr;
};

[[noreturn]] void fail(const std::string& what) {
    throw Error(what + ": " + windowsErrorText(::GetLastError()));
}

// One argument as the C runtime's parser (CommandLineToArgvW) will split it again: quoted when it
// is empty or holds blanks or quotes, with the backslashes before a quote doubled.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

struct Pipe {
    Handle readEnd;
    Handle writeEnd;
};

// The read end stays with this process only; the write end is inherited by the child.
void makePipe(Pipe& pipe) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!::CreatePipe(pipe.readEnd.out(), pipe.writeEnd.out(), &inherit, 0))
        fail("cannot create a pipe");
    ::SetHandleInformation(pipe.readEnd.get(), HANDLE_FLAG_INHERIT, 0);
}

void readAll(HANDLE source, std::string& sink) {
    std::array<char, 8192> buffer{};
    DWORD count = 0;
    while (::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr) && count > 0)
        sink.append(buffer.data(), count);
}

} // namespace

ProcessOutput runProcess(const std::vector<std::string>& argv) {
    if (argv.empty())
        throw Error("cannot start a process without a program name");
    std::wstring commandLine;
    for (const std::string& argument : argv) {
        if (!commandLine.empty())
            commandLine += L' ';
        appendQuoted(commandLine, widen(argument));
    }

    Pipe outPipe;
    Pipe errPipe;
    makePipe(outPipe);
    makePipe(errPipe);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle nullInput(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));

    // The child inherits these three handles and no other, even when other threads are starting
    // children of their own at the same moment.
    std::array<HANDLE, 3> inherited{nullInput.get(), outPipe.writeEnd.get(), errPipe.writeEnd.get()};
    SIZE_T attributesSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &attributesSize);
    std::vector<char> attributesBuffer(attributesSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributesBuffer.data());
    if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &attributesSize))
        fail("cannot prepare the start of " + argv.front());
    struct AttributesCleanup {
        LPPROC_THREAD_ATTRIBUTE_LIST list;
        ~AttributesCleanup() { ::DeleteProcThreadAttributeList(list); }
    } attributesCleanup{attributes};
    if (!::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                     sizeof(HANDLE) * inherited.size(), nullptr, nullptr))
        fail("cannot prepare the start of " + argv.front());

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nullInput.get();
    startup.StartupInfo.hStdOutput = outPipe.writeEnd.get();
    startup.StartupInfo.hStdError = errPipe.writeEnd.get();
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION process{};
    // No application name: Windows looks the program up as a command line's first word, on PATH
    // and with ".exe" added. CREATE_NO_WINDOW: a console program gets no window of its own.
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                          &startup.StartupInfo, &process);
    const DWORD startError = ::GetLastError();
    // Only the child may hold the write ends, or reading would never come to an end.
    outPipe.writeEnd.close();
    errPipe.writeEnd.close();
    if (!started)
        throw Error("cannot start " + argv.front() + ": " + windowsErrorText(startError));
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);

    // Both pipes are read as data arrives: a child that fills one while we wait on the other
    // would never finish.
    ProcessOutput output;
    std::thread errReader([&] { readAll(errPipe.readEnd.get(), output.err); });
    readAll(outPipe.readEnd.get(), output.out);
    errReader.join();

    ::WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(processHandle.get(), &exitCode))
        fail("cannot read the exit code of " + argv.front());
    output.exitStatus = static_cast<int>(exitCode);
    return output;
}

} // namespace tollwick
