// The three stored documents, decoded from any text as start-up decodes their files: a file that
// is refused or fails to decode is fine, a crash or a sanitizer report is not. What decodes must
// survive its own round trip.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/json_text.h"
#include "storage/documents.h"
#include "storage/shadow.h"

using namespace tollwick;

namespace {

template <class T>
void decodeAndRoundTrip(Json loaded) {
    if (!T::checkAfterLoad(loaded))
        return;
    T document;
    try {
        document = from_dict<T>(loaded);
    } catch (const std::exception&) {
        return;
    }
    const std::string text = to_json(document);
    const T again = from_json<T>(text);
    if (!(fingerprintOf(again) == fingerprintOf(document)))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Json loaded;
    try {
        loaded = Json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const std::exception&) {
        return 0;
    }
    decodeAndRoundTrip<DB>(loaded);
    decodeAndRoundTrip<Cache>(loaded);
    decodeAndRoundTrip<Shadow>(loaded);
    return 0;
}
