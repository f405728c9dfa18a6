#pragma once
// Opening pages of the interface in the user's default browser.
#include <string>

namespace tollwick {

// Asks the platform to open `url` once; failures are logged, never raised.
void openUrlInBrowser(const std::string& url) noexcept;

} // namespace tollwick
