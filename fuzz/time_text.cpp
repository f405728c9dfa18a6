// The text forms of the time values, as browsers and stored documents write them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/date.h"
#include "model/lesson.h"
#include "model/my_date_time.h"
#include "model/time_of_day.h"

using namespace tollwick;

namespace {

// Decodes `text`; what decodes must read back from its own text form.
template <class T>
void roundTrip(std::string_view text) {
    try {
        const T value = T::decode(text);
        if (!(T::encode(T::decode(T::encode(value))) == T::encode(value)))
            __builtin_trap();
    } catch (const std::exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    roundTrip<TimeOfDay>(text);
    roundTrip<Date>(text);
    roundTrip<Lesson>(text);
    roundTrip<MyDateTime>(text);
    return 0;
}
