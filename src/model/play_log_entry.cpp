#include "model/play_log_entry.h"

#include <cstdio>

#include <date/date.h>

namespace tollwick {

namespace {

long long wallSeconds(const ClockReading& r) noexcept {
    const date::sys_days day{date::year{r.year} / r.month / r.day};
    return static_cast<long long>(day.time_since_epoch().count()) * 86400 + r.hour * 3600 + r.minute * 60 + r.second;
}

} // namespace

bool isTimetableSource(PlaySource source) noexcept {
    return source == PlaySource::LESSON_START || source == PlaySource::LESSON_END || source == PlaySource::PRE_START ||
           source == PlaySource::PRE_END || source == PlaySource::EXTRA_PLAY;
}

bool isScheduledSource(PlaySource source) noexcept {
    return isTimetableSource(source) || source == PlaySource::PROGRAMME;
}

Json PlayLogEntry::toAnswer() const {
    Json out = to_dict(*this);
    out.erase("id");
    return out;
}

std::string isoSecondText(const ClockReading& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", r.year, r.month, r.day, r.hour, r.minute, r.second);
    return buf;
}

std::string isoMillisecondText(const LocalMoment& moment) {
    char buf[8];
    std::snprintf(buf, sizeof buf, ".%03d", moment.millisecond % 1000);
    return isoSecondText(moment.reading) + buf;
}

long long millisecondsAfter(const ClockReading& due, const LocalMoment& moment) {
    return (wallSeconds(moment.reading) - wallSeconds(due)) * 1000 + moment.millisecond;
}

} // namespace tollwick
