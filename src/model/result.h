#pragma once
// The ok-or-error answer of operations that fail softly (the vendor service client).
// A result is ok exactly when it holds no error, whatever value it holds.
#include <optional>
#include <string>
#include <utility>

#include "runtime/errors.h"

namespace tollwick {

template <class T>
class Result {
public:
    static Result Ok(T value) { return Result(std::move(value), std::nullopt); }
    // An absent error makes an ok result.
    static Result Err(std::optional<std::string> error) { return Result(T{}, std::move(error)); }

    bool isOk() const noexcept { return !_err.has_value(); }

    const T& getValue() const {
        if (!isOk())
            throw InvalidValueError("Called getValue() on an error Result: " + *_err);
        return _ok;
    }

    const std::string& getError() const {
        if (isOk())
            throw InvalidValueError("Called getError() on an ok Result");
        return *_err;
    }

private:
    Result(T ok, std::optional<std::string> err) : _ok(std::move(ok)), _err(std::move(err)) {}

    T _ok;
    std::optional<std::string> _err;
};

} // namespace tollwick
