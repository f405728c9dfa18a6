#pragma once
// The failure of decoding stored or received JSON into records: names the field it happened in.
#include <string>
#include <string_view>

#include "model/json.h"
#include "runtime/errors.h"

namespace tollwick {

class DecodeError : public InvalidValueError {
public:
    DecodeError(std::string path, std::string reason);

    // The field path from the record being decoded, e.g. "chA.lessons[2]"; empty for the record itself.
    const std::string& path() const noexcept { return _path; }
    const std::string& reason() const noexcept { return _reason; }

    // The same failure seen from the enclosing record or list: `outer` is a field name or "[i]".
    DecodeError within(std::string_view outer) const;

private:
    std::string _path;
    std::string _reason;
};

// "a string", "an integer", ... for messages about the JSON kind that was found.
std::string jsonKindName(const Json& value);

// A DecodeError for a value of the wrong JSON kind.
[[noreturn]] void throwWrongKind(std::string_view expected, const Json& found);

} // namespace tollwick
