// The tray launcher under Wine on a virtual screen: it runs the system without a console and logs
// into a file of its own, keeps its icon (also when the taskbar comes back), asks before it stops
// the bells, and a second start shows the running one in the browser and ends.
// The screenshot takes the screen through GDI, which the build leaves out elsewhere.
#undef NOGDI
#include <httplib.h>

#include "installed_program.h"

#include "app/tray_view.h"
#include "runtime/wide_text.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace tollwick {
namespace {

using namespace tollwick::test;

// The message that the tray's window takes from its icon, with the mouse event as its lParam.
constexpr UINT ICON_MESSAGE = WM_APP + 1;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The top-level window of class `className` that belongs to process `processId`, if any; only a
// visible one, unless it is the tray's own hidden window.
HWND windowOf(DWORD processId, const wchar_t* className) {
    struct Search {
        DWORD processId;
        std::wstring className;
        HWND found = nullptr;
    } search{processId, className};
    ::EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
            if (owner == s.processId && name == s.className &&
                (::IsWindowVisible(window) || s.className == L"TollwickTray")) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(DWORD processId, const wchar_t* className) {
    HWND found = nullptr;
    waitUntil([&] { return (found = windowOf(processId, className)) != nullptr; }, std::chrono::seconds(20));
    return found;
}

// What the screen shows in `area`, as 32-bit pixels.
struct ScreenArea {
    HBITMAP bitmap = nullptr;
    std::vector<std::uint32_t> pixels;

    explicit ScreenArea(const RECT& area) {
        const int width = area.right - area.left;
        const int height = area.bottom - area.top;
        HDC screen = ::GetDC(nullptr);
        HDC memory = ::CreateCompatibleDC(screen);
        bitmap = ::CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        ::SelectObject(memory, previous);
        BITMAPINFO format{};
        format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS);
        ::DeleteDC(memory);
        ::ReleaseDC(nullptr, screen);
    }
    ScreenArea(const ScreenArea&) = delete;
    ScreenArea& operator=(const ScreenArea&) = delete;
    ~ScreenArea() { ::DeleteObject(bitmap); }

    // True once something is drawn there: a window just shown is one colour until it is painted.
    bool drawn() const {
        return std::any_of(pixels.begin(), pixels.end(), [&](std::uint32_t p) { return p != pixels.front(); });
    }

    // Saves the picture as a PNG file, with the platform's own imaging codecs.
    bool saveAsPng(const fs::path& file) const {
        bool saved = false;
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IWICImagingFactory* factory = nullptr;
        IWICBitmap* image = nullptr;
        IWICStream* stream = nullptr;
        IWICBitmapEncoder* encoder = nullptr;
        IWICBitmapFrameEncode* frame = nullptr;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        UINT width = 0;
        UINT height = 0;
        if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&factory))) &&
            SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &image)) &&
            SUCCEEDED(image->GetSize(&width, &height)) && SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
            SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
            SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
            SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
            SUCCEEDED(frame->WriteSource(image, nullptr)) && SUCCEEDED(frame->Commit()) &&
            SUCCEEDED(encoder->Commit()))
            saved = true;
        for (IUnknown* object : std::initializer_list<IUnknown*>{frame, encoder, stream, image, factory})
            if (object)
                object->Release();
        if (SUCCEEDED(com))
            ::CoUninitialize();
        return saved;
    }
};

// Sets the programs that Wine's shell opens a web address with, for the test's duration.
class ScopedWineBrowser {
public:
    explicit ScopedWineBrowser(const std::wstring& command) {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, KEY, L"Browsers", REG_SZ, command.c_str(),
                          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    ScopedWineBrowser(const ScopedWineBrowser&) = delete;
    ScopedWineBrowser& operator=(const ScopedWineBrowser&) = delete;
    ~ScopedWineBrowser() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, KEY, L"Browsers"); }

private:
    static constexpr const wchar_t* KEY = L"Software\\Wine\\WineBrowser";
};

struct TrayLauncher : InstalledProgram {
    fs::path log = appData / "TollwickPlayer" / "log" / "tollwick-player.log";

    bool serves() {
        httplib::Client client("127.0.0.1", port);
        const auto answer = client.Get("/whoami");
        return answer && answer->status == 200;
    }

    // Starts the tray launcher on the test's port and waits until it serves.
    std::unique_ptr<Program> startServing(const std::wstring& arguments = L"--no-popup") {
        auto tray = std::make_unique<Program>(install / "tollwick-tray.exe",
                                              arguments + L" --port " + std::to_wstring(port), tmp.path() / "tray.log");
        EXPECT_TRUE(waitUntil([&] { return serves() || !tray->running(); }, std::chrono::seconds(30)));
        EXPECT_TRUE(tray->running()) << contentOf(log);
        return tray;
    }
};

TEST_F(TrayLauncher, ServesAndLogsIntoARotatingFileOfTheUserData) {
    ScopedEnv smallLog{"TOLLWICK_LOG_FILE_BYTES", "4096"};
    const auto tray = startServing(L"--no-popup -v");
    ASSERT_TRUE(tray->running());
    EXPECT_NE(contentOf(log).find("Tollwick Player v9.8.7"), std::string::npos) << contentOf(log);
    // Each request is a line at debug level: enough of them begin the file anew.
    httplib::Client client("127.0.0.1", port);
    for (int i = 0; i < 200 && !fs::exists(log.parent_path() / "tollwick-player.1.log"); ++i)
        client.Get("/api/get/status");
    EXPECT_TRUE(fs::exists(log.parent_path() / "tollwick-player.1.log"));
    EXPECT_LE(fs::file_size(log), 4096u);
    EXPECT_TRUE(tray->running());
}

// The icon is added once the system serves, and again when Explorer restarts. Its menu, opened as
// a right click on the icon opens it, is saved for the README.
TEST_F(TrayLauncher, ShowsItsIconAgainWhenTheTaskbarComesBackAndOpensItsMenu) {
    const auto tray = startServing();
    const HWND window = waitForWindow(tray->id(), L"TollwickTray");
    ASSERT_NE(window, nullptr);
    const std::string shown = "The tray icon is shown";
    ASSERT_TRUE(waitUntil([&] { return occurrences(contentOf(log), shown) == 1; }, std::chrono::seconds(20)))
        << contentOf(log);

    ::PostMessageW(window, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(waitUntil([&] { return occurrences(contentOf(log), shown) == 2; }, std::chrono::seconds(20)))
        << contentOf(log);

    ::PostMessageW(window, ICON_MESSAGE, 1, WM_RBUTTONUP);
    const HWND menu = waitForWindow(tray->id(), L"#32768");
    ASSERT_NE(menu, nullptr) << "no menu opened";
    RECT area{};
    ::GetWindowRect(menu, &area);
    EXPECT_GT(area.bottom - area.top, 30) << "the menu holds its items";
    const fs::path screenshot = fs::path(TOLLWICK_SCREENSHOT_DIR) / "tray-menu.png";
    fs::create_directories(screenshot.parent_path());
    std::unique_ptr<ScreenArea> shot;
    EXPECT_TRUE(waitUntil([&] { return (shot = std::make_unique<ScreenArea>(area))->drawn(); }, std::chrono::seconds(20)))
        << "the menu was never drawn";
    EXPECT_TRUE(shot->saveAsPng(screenshot));
}

// "Stop the bells and quit" asks first: no keeps the bells, yes ends the process.
TEST_F(TrayLauncher, StopsTheBellsOnlyWhenTheQuestionIsAnsweredYes) {
    const auto tray = startServing();
    const HWND window = waitForWindow(tray->id(), L"TollwickTray");
    ASSERT_NE(window, nullptr);
    for (const int answer : {IDNO, IDYES}) {
        ::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(TrayCommand::STOP), 0);
        const HWND question = waitForWindow(tray->id(), L"#32770");
        ASSERT_NE(question, nullptr) << "no question was asked";
        wchar_t title[64] = {};
        ::GetWindowTextW(question, title, static_cast<int>(std::size(title)));
        EXPECT_EQ(std::wstring(title), L"Stop the bells?");
        ::PostMessageW(question, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        if (answer == IDNO) {
            ASSERT_TRUE(waitUntil([&] { return !::IsWindow(question); }, std::chrono::seconds(20)));
            EXPECT_TRUE(tray->running());
            EXPECT_TRUE(serves());
        }
    }
    EXPECT_TRUE(tray->endsWithin(std::chrono::seconds(20)));
    EXPECT_FALSE(serves());
}

// A second start, as a second user's logon makes one, opens the running system's dashboard and
// ends. The browser is a stand-in that writes down the address it was given.
TEST_F(TrayLauncher, ASecondStartOpensTheRunningDashboardAndEnds) {
    const auto first = startServing();
    const std::string unixOpened = TOLLWICK_UNIX_BINARY_DIR "/stand-in-browser-opened.txt";
    fs::remove(fs::path("Z:" + unixOpened));
    const ScopedWineBrowser browser(widen("sh \"" TOLLWICK_UNIX_SOURCE_DIR "/tests/windows/stand-in-browser.sh\" \"" +
                                          unixOpened + "\""));
    Program second(install / "tollwick-tray.exe", L"--port " + std::to_wstring(port), tmp.path() / "second.log");
    ASSERT_TRUE(second.started());
    EXPECT_TRUE(second.endsWithin(std::chrono::seconds(30)));
    const std::string dashboard = "http://localhost:" + std::to_string(port) + "/\n";
    EXPECT_TRUE(waitUntil([&] { return contentOf("Z:" + unixOpened) == dashboard; }, std::chrono::seconds(20)))
        << contentOf("Z:" + unixOpened) << contentOf(log);
    EXPECT_TRUE(first->running());
    EXPECT_TRUE(serves());
}

} // namespace
} // namespace tollwick
