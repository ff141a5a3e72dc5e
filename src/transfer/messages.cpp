#include "transfer/messages.h"

namespace shelvix::transfer {

const char* const kInvalidFileType = "Invalid file type selected.";
const char* const kImportComplete = "Import Complete.";
const char* const kExportComplete = "Export Complete.";
const char* const kNoFieldsSelected = "No fields selected for export.";
const char* const kReorderQuestion =
    "This will set the order of fields to the program defaults.  Continue?";

QString firstLineMessage(FirstLine result) {
    QString text =
        QStringLiteral("The file selected does not appear to be an ASCII delimited text file.  "
                       "An ASCII delimited file requires a unique format of each field being "
                       "surrounded by double quotes and separated by a comma.  ");
    switch (result) {
    case FirstLine::FieldTooLong:
        return text +
               QStringLiteral("The selected file has a field that is greater than 255 characters.");
    case FirstLine::UnexpectedEnd:
        return text + QStringLiteral("The selected file had an unexpected end of a line most "
                                     "likely due to an unmatched quote.");
    case FirstLine::TooManyFields:
        return text + QStringLiteral("The selected file has too many fields.  "
                                     "There are at least 10 more fields than are required by "
                                     "Shelvix.");
    case FirstLine::Ok:
        break;
    }
    return text;
}

QString tooManyDbfFieldsMessage(int fieldCount) {
    return QStringLiteral("The selected DBase file has %1 fields.  At most %2 fields can be "
                          "lined up with the Shelvix fields, so nothing was imported.")
        .arg(fieldCount)
        .arg(kMaxSourceFields);
}

QString importCancelledMessage(std::uint64_t imported) {
    return QStringLiteral("Import cancelled.  %1 records were imported.").arg(imported);
}

} // namespace shelvix::transfer
