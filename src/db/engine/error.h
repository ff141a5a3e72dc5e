#pragma once

#include <stdexcept>
#include <string>

namespace shelvix::db {

// The one error type the engine throws. The message is complete and meant for
// the user ("'abc' is not a valid floating point value for field 'YEARPUB'").
//
// what() is UTF-8. File names appear as the file system gives them (UTF-8 on
// the systems we run on); everything that is table text (field values, names
// and expressions, whether read from the files or handed in by the caller in
// the table's code page) is decoded from the table's code page through
// core::decode. An index has no code page of its own: its tag names are read
// as Windows-1252. Show what() by decoding it as UTF-8.
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
        Exists, // a new file's name is taken
    };

    explicit DatabaseError(const std::string& message, Kind kind = Kind::General)
        : std::runtime_error(message), kind_(kind) {}

    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

} // namespace shelvix::db
