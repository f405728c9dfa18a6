#pragma once
// The kinds of failure the system names. Each carries the system's own message text;
// callers at the edges (a scheduler pass, an HTTP handler, start-up) catch them.
#include <stdexcept>
#include <string>

namespace tollwick {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value that is of the right type but unacceptable: a malformed date, an unknown enumeration member.
class InvalidValueError : public Error {
public:
    using Error::Error;
};

// A key that is missing, or already present where it must not be.
class KeyError : public Error {
public:
    using Error::Error;
};

// A position outside a sequence.
class IndexError : public Error {
public:
    using Error::Error;
};

// A value of the wrong type for the argument or field that receives it.
class TypeError : public Error {
public:
    using Error::Error;
};

} // namespace tollwick
