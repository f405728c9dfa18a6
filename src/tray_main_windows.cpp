// The tray launcher of Windows: a program without a console that runs the whole system in its own
// process and keeps an icon in the notification area. The icon's tooltip names the next bell; its
// menu opens the dashboard, the set-up while no password is set, and stops the bells after asking.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

#include "app/launcher.h"
#include "app/tray_view.h"
#include "runtime/wide_text.h"

#include <spdlog/spdlog.h>

namespace tollwick {
namespace {

constexpr wchar_t WINDOW_CLASS[] = L"TollwickTray";
constexpr UINT ICON_MESSAGE = WM_APP + 1;
constexpr UINT ICON_ID = 1;
constexpr UINT_PTR REFRESH_TIMER = 1;
constexpr UINT REFRESH_MS = 1000;
// The menu's commands, and one that stops without asking: for a test that sends it to the window.
constexpr WORD STOP_WITHOUT_ASKING = 100;

struct Tray {
    HWND window = nullptr;
    UINT taskbarCreated = 0;
    HICON normal = nullptr;
    HICON attention = nullptr;
    TrayView shown;
    bool added = false;
    bool addFailed = false; // said once in the log
};
Tray gTray;

Json answerOf(const char* target) {
    return askRunningSystem(target).value_or(Json());
}

TrayView currentView() {
    return trayView(trayFactsFrom(answerOf("overview"), answerOf("nextBell"), answerOf("todayBells"),
                                  answerOf("settings")));
}

// Shows `view`: adds the icon (again, after Explorer restarted) or changes it.
void show(const TrayView& view, bool add) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = gTray.window;
    data.uID = ICON_ID;
    data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    data.uCallbackMessage = ICON_MESSAGE;
    data.hIcon = view.attention ? gTray.attention : gTray.normal;
    const std::wstring tip = widen(view.tooltip).substr(0, std::size(data.szTip) - 1);
    tip.copy(data.szTip, tip.size());
    // An icon that is still there takes the change instead: the taskbar also announces itself
    // without having restarted, as when the screen's scale changes.
    if (Shell_NotifyIconW(add ? NIM_ADD : NIM_MODIFY, &data) || (add && Shell_NotifyIconW(NIM_MODIFY, &data))) {
        if (add)
            spdlog::info("The tray icon is shown");
        gTray.added = true;
    } else if (add && !gTray.addFailed) {
        spdlog::warn("The tray icon could not be shown; trying again each second");
        gTray.addFailed = true;
    }
    gTray.shown = view;
}

// The icon appears once the system serves: a second start, which only shows the running one and
// ends, leaves none behind.
void refresh() {
    TrayView view = currentView();
    if (!gTray.added && view.tooltip == trayView(TrayFacts{}).tooltip)
        return;
    if (!gTray.added || view.tooltip != gTray.shown.tooltip || view.attention != gTray.shown.attention)
        show(view, !gTray.added);
    else
        gTray.shown = std::move(view);
}

void removeIcon() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = gTray.window;
    data.uID = ICON_ID;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

[[noreturn]] void stopBells() {
    removeIcon();
    stop();
}

void run(WORD command) {
    switch (command) {
    case static_cast<WORD>(TrayCommand::OPEN_DASHBOARD):
        openDashboard();
        break;
    case static_cast<WORD>(TrayCommand::SET_UP):
        openWelcome();
        break;
    case static_cast<WORD>(TrayCommand::STOP): {
        const TrayQuestion question = stopQuestion(trayFactsFrom(Json(), Json(), Json(), answerOf("settings")).language);
        if (MessageBoxW(gTray.window, widen(question.text).c_str(), widen(question.title).c_str(),
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND) == IDYES)
            stopBells();
        break;
    }
    case STOP_WITHOUT_ASKING:
        stopBells();
    default:
        return;
    }
}

void showMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    for (const TrayItem& item : gTray.shown.items)
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.command), widen(item.label).c_str());
    SetMenuDefaultItem(menu, static_cast<UINT>(TrayCommand::OPEN_DASHBOARD), FALSE);
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if the window is in the foreground.
    SetForegroundWindow(gTray.window);
    const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                                       gTray.window, nullptr);
    DestroyMenu(menu);
    if (chosen)
        run(static_cast<WORD>(chosen));
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == gTray.taskbarCreated && gTray.taskbarCreated != 0) {
        gTray.added = false;
        show(gTray.shown, true);
        return 0;
    }
    switch (message) {
    case ICON_MESSAGE:
        if (LOWORD(lParam) == WM_LBUTTONDBLCLK)
            openDashboard();
        else if (LOWORD(lParam) == WM_RBUTTONUP || LOWORD(lParam) == WM_CONTEXTMENU)
            showMenu();
        return 0;
    case WM_COMMAND:
        run(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        refresh();
        return 0;
    case WM_DESTROY:
        removeIcon();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HICON loadIcon() {
    const std::wstring path = widen(getIconPath());
    if (auto icon = static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0,
                                                  LR_LOADFROMFILE | LR_DEFAULTSIZE)))
        return icon;
    return LoadIconW(nullptr, IDI_APPLICATION);
}

// The icon and its window, on a thread of its own, until the process ends.
void runTray(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = WINDOW_CLASS;
    RegisterClassExW(&windowClass);
    gTray.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    gTray.normal = loadIcon();
    gTray.attention = LoadIconW(nullptr, IDI_WARNING);
    // A hidden top-level window, not a message-only one: only those hear that Explorer restarted.
    gTray.window = CreateWindowExW(0, WINDOW_CLASS, L"Tollwick Player", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                   instance, nullptr);
    if (!gTray.window)
        return;
    SetTimer(gTray.window, REFRESH_TIMER, REFRESH_MS, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::vector<std::string> argumentsOfThisProcess() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i)
        args.push_back(narrow(wide[i]));
    LocalFree(wide);
    return args;
}

} // namespace
} // namespace tollwick

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::thread(tollwick::runTray, instance).detach();
    // Answers only when start-up fails; the tray goes with the process.
    return tollwick::start(true, tollwick::argumentsOfThisProcess());
}
