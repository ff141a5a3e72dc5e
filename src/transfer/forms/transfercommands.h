#pragma once

#include "app/appcontext.h"
#include "transfer/exporter.h"

#include <functional>

class QWidget;

namespace shelvix::transfer {

// The main window's Import and Export commands. The window gives its search
// (ended and put back for an export of the entire database) and what to do
// once an import has added records (show the new count).
class TransferCommands {
public:
    TransferCommands(app::AppContext& context, app::SearchBracket& search, QWidget* window,
                     std::function<void()> afterImport = {})
        : ctx_(context), search_(search), window_(window), afterImport_(std::move(afterImport)) {}

    // The import format dialog, and through it the import window.
    void DoImport();
    // The export window.
    void DoExport();

private:
    app::AppContext& ctx_;
    app::SearchBracket& search_;
    QWidget* window_;
    std::function<void()> afterImport_;
};

} // namespace shelvix::transfer
