#pragma once
// The program's error types. Every failure that reaches the user is one of these, carrying the
// exact message text the user sees; the application's single error box shows it.
#include <stdexcept>
#include <string>

namespace orbiqa {

/// Base of every error the program raises on purpose.
class OrbiqaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Text that is not a valid integer ("'%s' is not a valid integer value").
class EConvertError : public OrbiqaError {
public:
    using OrbiqaError::OrbiqaError;
};

/// A file could not be created, opened, read or written.
class EFileError : public OrbiqaError {
public:
    using OrbiqaError::OrbiqaError;
};

}  // namespace orbiqa
