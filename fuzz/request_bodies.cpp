// The bodies the web routes decode: the login's and the password's JSON, a timetable, and a
// settings update applied field by field. Refusals are fine; crashes and sanitizer reports are not.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/json_text.h"
#include "model/settings.h"
#include "model/timetable.h"
#include "runtime/errors.h"

using namespace tollwick;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const TimeTable timetable = from_json<TimeTable>(text);
        (void)toJsonText(to_dict(timetable));
    } catch (const std::exception&) {
    }
    Json body;
    try {
        body = parseJsonText(text);
    } catch (const std::exception&) {
        return 0;
    }
    if (body.is_object() && body.contains("userPassword") && body["userPassword"].is_string())
        (void)toJsonText(body.contains("remember") ? body["remember"] : Json(false));
    if (!body.is_object())
        return 0;
    Settings settings;
    for (const auto& [member, value] : body.items()) {
        try {
            assignPath(settings, member, value);
        } catch (const Error&) {
        }
    }
    (void)toJsonText(to_dict(settings));
    return 0;
}
