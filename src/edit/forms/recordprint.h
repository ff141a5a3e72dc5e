#pragma once

#include "app/prompter.h"

#include <QStringList>

class QPrinter;

namespace shelvix::edit {

// The record printout: the lines drawn straight onto the printer, one page
// per copy, after the print dialog the Prompter shows.
class RecordPrinter {
public:
    // True when the pages were printed.
    bool print(const QStringList& lines, app::Prompter& prompter);

    // The last choice made in the print dialog, which it offers again.
    const app::PrintSetup& setup() const { return setup_; }

private:
    app::PrintSetup setup_;
    bool printing_ = false;
};

// Draws `lines` on `copies` pages of the printer: margins of a seventeenth of
// the printable width and a twenty-second of its height, Arial 10 points,
// 1.1 lines. False when the printer could not be started.
bool paintRecord(QPrinter& printer, const QStringList& lines, int copies);

} // namespace shelvix::edit
