#pragma once
// The password store ("_shadow.json"): one optional password shared by every user of the interface,
// kept as SHA-256 of the installation's salt followed by the password. The salt also signs the
// browser's session cookies.
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "model/json.h"
#include "model/record.h"

namespace tollwick {

struct Shadow {
    std::optional<std::string> _salt; // 64 lowercase hex digits; made on first use, never changed
    std::optional<std::string> _pwd;  // the password hash; none while no password is set

    // Only the owner may read the password store.
    static constexpr bool FILE_IS_PRIVATE = true;

    // Every parsable file is accepted.
    static bool checkAfterLoad(Json&) noexcept { return true; }

    bool isPasswordSet() const noexcept { return _pwd.has_value(); }
    // The salt, made from 32 secure random bytes when missing or empty.
    const std::string& getCurrentSalt();
    // The empty text is a valid password. The salt stays, so sessions stay signed alike.
    void setPassword(std::string_view userPassword);
    // Always false while no password is set; the comparison takes constant time.
    bool isPasswordMatching(std::string_view userPassword);

    static constexpr auto fields = std::tuple{
        field("_salt", &Shadow::_salt),
        field("_pwd", &Shadow::_pwd),
    };

private:
    std::string _saltAndHash(std::string_view other);
};

} // namespace tollwick
