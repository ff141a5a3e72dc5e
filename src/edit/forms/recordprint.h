#pragma once

#include <QStringList>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace shelvix::app {
class Prompter;
}

namespace shelvix::edit {

// The record printout: the lines drawn straight onto the printer, one page
// per copy, after the print dialog. The dialog is replaceable so that tests
// can print to a PDF file.
class RecordPrinter {
public:
    // Shows the print dialog for `printer`; false when cancelled.
    using Dialog = std::function<bool(QPrinter& printer, QWidget* parent)>;

    RecordPrinter();
    ~RecordPrinter();
    RecordPrinter(const RecordPrinter&) = delete;
    RecordPrinter& operator=(const RecordPrinter&) = delete;

    void setDialog(Dialog dialog) { dialog_ = std::move(dialog); }
    // The printer the dialog sets up; made when first needed, since asking the
    // print system for printers can take a moment.
    QPrinter& printer();

    // True when a page was printed.
    bool print(QWidget* parent, const QStringList& lines, app::Prompter& prompter);

private:
    Dialog dialog_;
    std::unique_ptr<QPrinter> printer_;
    bool printing_ = false;
};

// Draws `lines` on `copies` pages of the printer: margins of a seventeenth of
// the printable width and a twenty-second of its height, Arial 10 points,
// 1.1 lines. False when the printer could not be started.
bool paintRecord(QPrinter& printer, const QStringList& lines, int copies);

} // namespace shelvix::edit
