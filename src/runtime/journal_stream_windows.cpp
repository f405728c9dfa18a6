// Windows has no journal: the log stays as it is everywhere else.
#include "runtime/journal_stream.h"

namespace tollwick {

bool stderrIsJournal() noexcept {
    return false;
}

} // namespace tollwick
