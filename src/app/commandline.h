#pragma once

#include <QString>
#include <QStringList>

namespace shelvix::app {

// What `shelvix` is asked to do by its command line:
//
//   shelvix [--home DIR] [/BROWSE] [FILE.DBF]
//   shelvix --help | --version
//
// /BROWSE (any capitals) may stand before or after the file. Qt's own
// options (-platform, -style ...) are taken out by QApplication before
// parseStartArguments sees the arguments; --help and --version are found
// by wantsHelpOrVersion before there is one, so they need no display.
struct StartRequest {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    bool browse = false;
    // The catalogue to open instead of the last one, absolute; empty for none.
    QString database;
    QString error; // for UsageError: one line
};

// `arguments` with the program name first; a relative FILE counts from
// `currentDir`.
StartRequest parseStartArguments(const QStringList& arguments, const QString& currentDir);

// Help or Version when --help, -h or --version stands before any "--";
// else Run, whatever the rest holds.
StartRequest::Action wantsHelpOrVersion(const QStringList& arguments);

QString startHelpText();    // for --help, on standard output
QString startVersionText(); // "shelvix (Shelvix Books 97) 0.1.0"

} // namespace shelvix::app
