#pragma once
// Opening pages of the interface in the user's default browser.
#include <chrono>
#include <string>

namespace tollwick {

constexpr std::chrono::seconds BROWSER_REQUEST_WAIT{5};

// Asks the platform to open `url` once; failures are logged, never raised. Returns once the
// platform has the request (after BROWSER_REQUEST_WAIT at the most), so that a process that ends
// right afterwards still opens the page.
void openUrlInBrowser(const std::string& url) noexcept;

} // namespace tollwick
