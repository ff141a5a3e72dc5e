#include "reports/forms/tprintselect.h"

#include "app/appcontext.h"
#include "app/forms/colors.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

namespace shelvix::reports {

TPrintSelect::TPrintSelect(app::AppContext& context, QStringList printers, QWidget* parent)
    : QDialog(parent), ctx_(context), printers_(std::move(printers)) {
    setObjectName(QStringLiteral("TPrintSelect"));
    setWindowTitle(QStringLiteral("Printer Selection"));
    setFixedSize(320, 150);
    DefaultPrinter = new QRadioButton(QStringLiteral("Default Printer"), this);
    DefaultPrinter->setObjectName(QStringLiteral("DefaultPrinter"));
    DefaultPrinter->setGeometry(16, 12, 200, 22);
    OtherPrinter = new QRadioButton(QStringLiteral("Other Printer"), this);
    OtherPrinter->setObjectName(QStringLiteral("OtherPrinter"));
    OtherPrinter->setGeometry(16, 40, 200, 22);
    PrinterList = new QComboBox(this);
    PrinterList->setObjectName(QStringLiteral("PrinterList"));
    PrinterList->setEditable(false);
    PrinterList->setGeometry(36, 68, 268, 24);
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(70, 108, 85, 27);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(165, 108, 85, 27);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TPrintSelect::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    app::applyColorSet(this, ctx_, app::ColorGroup::Report);
    (ctx_.database.defaultPrinter ? DefaultPrinter : OtherPrinter)->setChecked(true);
    PrinterList->clear();
    PrinterList->addItems(printers_);
    const int index = ctx_.database.printerIndex;
    PrinterList->setCurrentIndex(index >= 0 && index < printers_.size() ? index : -1);
}

void TPrintSelect::OkButtonClick() {
    ctx_.database.defaultPrinter = DefaultPrinter->isChecked();
    ctx_.database.printerIndex = PrinterList->currentIndex();
    accept();
}

} // namespace shelvix::reports
