#include "model/programme.h"

namespace tollwick {

Programme Programme::fromUserInput(std::string id, std::string_view date, std::string_view time) {
    return Programme{std::move(id), Date::decode(date), TimeOfDay::decode(time), true};
}

} // namespace tollwick
