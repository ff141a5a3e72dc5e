#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QStringList>
#include <memory>
#include <optional>

class QPagedPaintDevice;

namespace shelvix::app {

// What a printer is asked to print on.
struct PrinterRequest {
    int index = -1;                    // into Printers::names(); -1 the default printer
    std::optional<QPageSize> pageSize; // else the printer's own paper
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString title;
    // The screen's resolution rather than the printer's best: recorded pages
    // play back true to size only there.
    bool screenResolution = false;
};

// The printers of this machine. Qt's print support loads the widget library,
// so only the program installs them (installQtPrinters in app/forms); where
// none are installed there are no printers, and pages go to PDF files alone.
class Printers {
public:
    virtual ~Printers() = default;
    virtual QStringList names() const = 0;
    // The paper printer `index` (-1 the default) uses unless told; invalid
    // when there is no printer.
    virtual QPageSize defaultPaper(int index) const = 0;
    // A device printing on the requested printer, full page; nothing when
    // there is no printer.
    virtual std::unique_ptr<QPagedPaintDevice> open(const PrinterRequest& request) const = 0;
};

// The installed printers, or nullptr.
const Printers* printers();
void installPrinters(const Printers* printers);

} // namespace shelvix::app
