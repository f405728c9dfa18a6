#include "model/lesson.h"

#include "model/text_parse.h"
#include "runtime/errors.h"

namespace tollwick {

std::vector<Lesson> Lesson::defaults() {
    std::vector<Lesson> lessons;
    for (int hour = 8; hour <= 13; ++hour)
        lessons.push_back(fromHour(hour));
    return lessons;
}

Lesson Lesson::decode(std::string_view text) {
    const auto parts = splitAt(text, '-');
    if (parts.size() < 2)
        throw IndexError("A lesson needs a start and an end separated by \"-\": '" + std::string(text) + "'");
    return {TimeOfDay::decode(parts[0]), TimeOfDay::decode(parts[1])};
}

} // namespace tollwick
