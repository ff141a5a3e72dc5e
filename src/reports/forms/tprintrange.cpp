#include "reports/forms/tprintrange.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "reports/reportediting.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace shelvix::reports {

TPrintRange::TPrintRange(app::AppContext& context, int pageCount, QWidget* parent)
    : QDialog(parent), ctx_(context), pageCount_(pageCount) {
    setObjectName(QStringLiteral("TPrintRange"));
    setWindowTitle(QStringLiteral("Page Printing"));
    resize(260, 120);
    auto* startLabel = new QLabel(QStringLiteral("Starting Page"), this);
    startLabel->setGeometry(10, 14, 120, 18);
    startPage_ = new QLineEdit(this);
    startPage_->setObjectName(QStringLiteral("StartPage"));
    startPage_->setGeometry(140, 12, 60, 22);
    startPage_->setMaxLength(3);
    auto* endLabel = new QLabel(QStringLiteral("Ending Page"), this);
    endLabel->setGeometry(10, 46, 120, 18);
    endPage_ = new QLineEdit(this);
    endPage_->setObjectName(QStringLiteral("EndPage"));
    endPage_->setGeometry(140, 44, 60, 22);
    endPage_->setMaxLength(3);
    auto* print = new QPushButton(QStringLiteral("&Print"), this);
    print->setObjectName(QStringLiteral("PrintButton"));
    print->setGeometry(40, 82, 85, 28);
    print->setDefault(true);
    connect(print, &QPushButton::clicked, this, [this] { PrintButtonClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(135, 82, 85, 28);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    startPage_->setText(QStringLiteral("1"));
    endPage_->setText(QString::number(pageCount_));
}

void TPrintRange::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        app::placeDialog(this, ctx_);
        app::applyColorSet(this, ctx_, app::ColorGroup::Report);
        startPage_->setFocus();
        startPage_->selectAll();
    }
}

void TPrintRange::PrintButtonClick() {
    const int first = leadingNumber(startPage_->text());
    if (first <= 0 || first > pageCount_) {
        ctx_.prompter->message(
            {app::MessageKind::Information, QStringLiteral("Error"),
             QStringLiteral("Invalid Starting Page specified. Please correct.")});
        startPage_->setFocus();
        return;
    }
    const int last = leadingNumber(endPage_->text());
    if (last < first || last > pageCount_) {
        ctx_.prompter->message({app::MessageKind::Information, QStringLiteral("Error"),
                                QStringLiteral("Invalid Ending Page specified.  Please correct.")});
        endPage_->setFocus();
        return;
    }
    first_ = first;
    last_ = last;
    chosen_ = true;
    accept();
}

} // namespace shelvix::reports
