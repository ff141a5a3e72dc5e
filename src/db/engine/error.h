#pragma once

#include <stdexcept>
#include <string>

namespace shelvix::db {

// The one error type the engine throws. The message is complete and meant for
// the user ("'abc' is not a valid floating point value for field 'YEARPUB'").
class DatabaseError : public std::runtime_error {
public:
    enum class Kind {
        General,
        NotFound,     // file or field does not exist
        InUse,        // exclusive access refused: another user holds the table
        Corrupt,      // the file does not hold what its header says
        Unsupported,  // a dBASE variant we do not read (dBASE 7, encrypted ...)
        InvalidValue, // a value that does not fit the field
        InvalidExpression,
        Io,
    };

    explicit DatabaseError(const std::string& message, Kind kind = Kind::General)
        : std::runtime_error(message), kind_(kind) {}

    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

} // namespace shelvix::db
