#include "runtime/browser.h"

#include "runtime/wide_text.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <spdlog/spdlog.h>

namespace tollwick {

void openUrlInBrowser(const std::string& url) noexcept {
    try {
        // On a thread of its own: the shell wants COM set up on the thread that asks, and the
        // default browser may take its time to come up. Shared with that thread, which may outlive
        // the wait.
        struct Asked {
            std::mutex mutex;
            std::condition_variable done;
            bool answered = false;
        };
        const auto asked = std::make_shared<Asked>();
        std::thread([url, asked] {
            const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            const std::wstring target = widen(url);
            const auto result = reinterpret_cast<INT_PTR>(
                ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
            // Values up to 32 are the shell's error codes.
            if (result <= 32)
                spdlog::warn("Could not open a browser on {}: the shell answered {}", url, result);
            if (SUCCEEDED(com))
                ::CoUninitialize();
            {
                std::scoped_lock lock(asked->mutex);
                asked->answered = true;
            }
            asked->done.notify_all();
        }).detach();
        std::unique_lock lock(asked->mutex);
        asked->done.wait_for(lock, BROWSER_REQUEST_WAIT, [&] { return asked->answered; });
    } catch (...) {
        spdlog::warn("Could not open a browser on {}", url);
    }
}

} // namespace tollwick
