#include "runtime/journal_stream.h"

#include <charconv>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tollwick {
namespace {

bool wholeNumber(std::string_view text, unsigned long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

bool stderrIsJournal() noexcept {
    const char* value = std::getenv("JOURNAL_STREAM");
    if (value == nullptr)
        return false;
    const std::string_view text(value);
    const auto colon = text.find(':');
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (colon == std::string_view::npos || !wholeNumber(text.substr(0, colon), device) ||
        !wholeNumber(text.substr(colon + 1), inode))
        return false;
    struct stat status {};
    return ::fstat(STDERR_FILENO, &status) == 0 && static_cast<unsigned long long>(status.st_dev) == device &&
           static_cast<unsigned long long>(status.st_ino) == inode;
}

} // namespace tollwick
