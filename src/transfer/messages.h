#pragma once

#include "transfer/delimited.h"

#include <QString>
#include <cstdint>

// The texts the import and export windows show.
namespace shelvix::transfer {

// The "Error" text for a first line that is not delimited text.
QString firstLineMessage(FirstLine result);
// The "Error" text for a dBASE source with more fields than the grid holds.
QString tooManyDbfFieldsMessage(int fieldCount);
// The "Notice" text after a cancelled import.
QString importCancelledMessage(std::uint64_t imported);

extern const char* const kInvalidFileType;
extern const char* const kImportComplete;
extern const char* const kExportComplete;
extern const char* const kNoFieldsSelected;
extern const char* const kReorderQuestion;

} // namespace shelvix::transfer
