#pragma once

#include "app/prompter.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QPrinter;

namespace shelvix::app {

// The Prompter of the running program: Qt message boxes and common dialogs.
class QtPrompter : public Prompter {
public:
    // Dialogs are owned by `parent`, or by the active window when it is null.
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}

    void setParent(QWidget* parent) { parent_ = parent; }

    Button message(const Message& message) override;
    void beep(Beep kind) override;
    std::optional<QString> chooseFile(const FileRequest& request) override;
    std::optional<FontSpec> chooseFont(const FontRequest& request) override;
    std::optional<int> chooseColor(int initial) override;
    std::optional<PrintSetup> choosePrinter(const PrintRequest& request) override;
    std::optional<QString> askText(const TextRequest& request) override;
    std::optional<int> chooseItem(const ChoiceRequest& request) override;
    std::optional<int> askNumber(const NumberRequest& request) override;

private:
    QWidget* owner() const;

    QPointer<QWidget> parent_;
};

// "Database Files (*.DBF)|*.DBF|All Files (*.*)|*.*" as QFileDialog name
// filters, each pattern in both cases since Linux names are case-sensitive
// and "*.*" as "*" since Linux names need no dot.
QStringList qtNameFilters(const QString& filter);

// Points a fresh printer where `setup` says. Its copy count stays 1: whoever
// prints draws each copy, so a driver never multiplies them again. A printer
// the print system no longer has leaves the default one.
void configurePrinter(QPrinter& printer, const PrintSetup& setup);
// What a print dialog left in `printer`.
PrintSetup printSetupOf(const QPrinter& printer);

} // namespace shelvix::app
