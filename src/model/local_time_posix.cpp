#include "model/local_time.h"

namespace tollwick {

std::tm localTm(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

} // namespace tollwick
