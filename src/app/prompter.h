#pragma once

#include "app/settings.h"

#include <QFlags>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <optional>

// Every modal question, message, beep and common dialog goes through a
// Prompter, so forms stay testable: production shows Qt dialogs, tests script
// the answers and check what they were shown.
namespace shelvix::app {

enum class MessageKind { Error, Warning, Information, Question };

enum class Button {
    NoButton = 0,
    Ok = 0x01,
    Cancel = 0x02,
    Yes = 0x04,
    No = 0x08,
    Abort = 0x10,
    Retry = 0x20,
    Ignore = 0x40,
};
Q_DECLARE_FLAGS(Buttons, Button)
Q_DECLARE_OPERATORS_FOR_FLAGS(Buttons)

struct Message {
    MessageKind kind = MessageKind::Information; // the icon
    QString caption{};                           // "Error", "Warning", "Confirm" ...
    QString text{};
    Buttons buttons = Button::Ok;
    Button defaultButton = Button::NoButton; // NoButton: the first button shown

    // The button Enter presses: the given one, or the first in the usual
    // order (OK, Yes, Abort, Retry ...).
    Button effectiveDefault() const;

    bool operator==(const Message&) const = default;
};

// The system sounds that announce a message.
enum class Beep { Default, Error, Warning, Information, Question };

enum class FileMode { Open, Save, Directory };

enum class FileFlag {
    NoFlag = 0,
    FileMustExist = 0x1,
    PathMustExist = 0x2,
    OverwritePrompt = 0x4,
    HideReadOnly = 0x8,
};
Q_DECLARE_FLAGS(FileFlags, FileFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(FileFlags)

struct FileRequest {
    FileMode mode = FileMode::Open;
    QString title{};
    // Pairs of description and patterns, each part ended by "|":
    // "Database Files (*.DBF)|*.DBF". Patterns match in any case.
    QString filter{};
    QString defaultExtension{}; // without the dot; added to a name without one
    QString initialPath{};      // a directory, or a file to preselect
    FileFlags flags{};

    bool operator==(const FileRequest&) const = default;
};

// Where and how a document is printed: what the print dialog sets.
struct PrintSetup {
    QString printer{};    // a printer of the print system; empty: its default printer
    QString outputFile{}; // when not empty, a PDF file printed instead of a printer
    int copies = 1;       // the printing code draws each copy itself
    int fromPage = 0;     // the pages to print, 0 and 0 for all of them
    int toPage = 0;
    QSizeF paperSize{}; // millimetres, portrait; empty: the printer's own paper
    bool landscape = false;

    bool operator==(const PrintSetup&) const = default;
};

struct PrintRequest {
    PrintSetup initial{}; // what the dialog shows first
    int pageCount = 0;    // pages to choose a range from; 0 offers no range

    bool operator==(const PrintRequest&) const = default;
};

struct FontRequest {
    QString title{};
    FontSpec initial{};
    bool effects = true; // underline and strikeout offered
    bool color = false;  // the colour offered too

    bool operator==(const FontRequest&) const = default;
};

// A line of text asked for (a name), with the text it starts with.
struct TextRequest {
    QString caption{};
    QString label{};
    QString text{};

    bool operator==(const TextRequest&) const = default;
};

// One of a list chosen; the answer is its index.
struct ChoiceRequest {
    QString caption{};
    QString label{};
    QStringList items{};
    int current = 0;

    bool operator==(const ChoiceRequest&) const = default;
};

// A whole number from `minimum` to `maximum`.
struct NumberRequest {
    QString caption{};
    QString label{};
    int value = 0;
    int minimum = 0;
    int maximum = 0;

    bool operator==(const NumberRequest&) const = default;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // Shows the message modally and returns the button pressed; closing the
    // box without one gives its escape answer (Cancel, No, or OK alone).
    virtual Button message(const Message& message) = 0;
    virtual void beep(Beep kind) = 0;
    // The chosen path, or nothing when cancelled.
    virtual std::optional<QString> chooseFile(const FileRequest& request) = 0;
    virtual std::optional<FontSpec> chooseFont(const FontRequest& request) = 0;
    // Windows colours (0x00BBGGRR) in and out.
    virtual std::optional<int> chooseColor(int initial) = 0;
    // The print dialog; nothing when cancelled.
    virtual std::optional<PrintSetup> choosePrinter(const PrintRequest& request) = 0;
    // Small input boxes; nothing when cancelled.
    virtual std::optional<QString> askText(const TextRequest& request) = 0;
    virtual std::optional<int> chooseItem(const ChoiceRequest& request) = 0;
    virtual std::optional<int> askNumber(const NumberRequest& request) = 0;

    // Shorthands for the usual boxes.
    void error(const QString& text); // "Error", OK
    Button confirm(const QString& caption, const QString& text,
                   Button defaultButton = Button::Yes); // Yes/No question
};

// The escape answer of a box with these buttons.
Button escapeButton(Buttons buttons);

} // namespace shelvix::app
