#pragma once
// One lesson period. Its text (and JSON) form is the start and the end joined by " - ".
#include <string>
#include <string_view>
#include <vector>

#include "model/json.h"
#include "model/time_of_day.h"

namespace tollwick {

struct Lesson {
    TimeOfDay start;
    TimeOfDay end;

    // startHour:00 - startHour:45
    static Lesson fromHour(int startHour) noexcept { return {TimeOfDay{startHour, 0, 0}, TimeOfDay{startHour, 45, 0}}; }
    // The six lessons from 08:00 - 08:45 to 13:00 - 13:45.
    static std::vector<Lesson> defaults();

    std::string asString() const { return start.asString() + " - " + end.asString(); }
    static std::string encode(const Lesson& obj) { return obj.asString(); }
    // Splits at every "-": the first two parts are the start and the end, further parts are
    // ignored; fewer than two fail with IndexError, a bad time with InvalidValueError.
    static Lesson decode(std::string_view text);

    Fingerprint fingerprint() const noexcept { return hashOf(start.fingerprint(), end.fingerprint()); }
    Json attributes() const { return Json{{"start", start.attributes()}, {"end", end.attributes()}}; }

    bool operator==(const Lesson& o) const noexcept { return start == o.start && end == o.end; }
};

} // namespace tollwick
