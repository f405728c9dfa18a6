#pragma once
// The words of the alerts, in the installation's language, for the school's IT person.
#include <string>
#include <string_view>

#include "model/alert_sink.h"

namespace tollwick {

struct AlertWords {
    std::string title; // a few words: what kind of thing happened
    std::string text;  // what happened, with the school's name first when it has one
};

// The words of `alert` in `language` ("en", "hu", "de"; any other is English) for the school
// `school`. `repeats` above 0 says that it happened that many more times within the minute.
AlertWords alertWords(const Alert& alert, std::string_view language, const std::string& school, int repeats = 0);

} // namespace tollwick
