#include "app/forms/qtprinters.h"

#include "app/paint/printers.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

namespace shelvix::app {

namespace {

QPrinterInfo chosenPrinter(int index) {
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printers.isEmpty())
        return {};
    if (index >= 0 && index < printers.size())
        return printers[index];
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    return def.isNull() ? printers.front() : def;
}

class QtPrinters final : public Printers {
public:
    QStringList names() const override { return QPrinterInfo::availablePrinterNames(); }

    QPageSize defaultPaper(int index) const override {
        const QPrinterInfo info = chosenPrinter(index);
        return info.isNull() ? QPageSize() : info.defaultPageSize();
    }

    std::unique_ptr<QPagedPaintDevice> open(const PrinterRequest& r) const override {
        const QPrinterInfo info = chosenPrinter(r.index);
        if (info.isNull())
            return nullptr;
        auto p = std::make_unique<QPrinter>(info, r.screenResolution ? QPrinter::ScreenResolution
                                                                     : QPrinter::HighResolution);
        if (r.pageSize)
            p->setPageSize(*r.pageSize);
        p->setFullPage(true);
        p->setPageOrientation(r.orientation);
        p->setCopyCount(1); // copies are drawn, so a driver never multiplies them
        p->setDocName(r.title);
        return p;
    }
};

} // namespace

void installQtPrinters() {
    static const QtPrinters printers;
    installPrinters(&printers);
}

} // namespace shelvix::app
