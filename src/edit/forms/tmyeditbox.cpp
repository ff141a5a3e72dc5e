#include "edit/forms/tmyeditbox.h"

#include "app/appcontext.h"
#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

namespace shelvix::edit {

TMyEditBox::TMyEditBox(const app::AppContext& ctx, const QStringList& entries, const QString& name,
                       int entryLength, int listNumber, QWidget* parent)
    : QDialog(parent), ctx_(ctx), listNumber_(listNumber) {
    setObjectName(QStringLiteral("TMyEditBox"));
    setWindowTitle(QStringLiteral("Edit \"%1\" List").arg(name));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    addInfo_ = new QLineEdit(this);
    addInfo_->setObjectName(QStringLiteral("AddInfo"));
    addInfo_->setMaxLength(entryLength);
    addInfo_->setGeometry(8, 8, 248, 24);

    const auto button = [this](const char* objectName, const char* text, int x, int y) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(objectName));
        b->setGeometry(x, y, 75, 27);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* add = button("AddButton", "&Add", 264, 6);
    add->setDefault(true);

    theList_ = new QListWidget(this);
    theList_->setObjectName(QStringLiteral("TheList"));
    theList_->setGeometry(8, 40, 248, 200);
    theList_->addItems(entries);

    QPushButton* del = button("DeleteButton", "&Delete", 264, 44);
    QPushButton* ok = button("OkButton", "&Ok", 264, 80);
    QPushButton* cancel = button("CancelButton", "&Cancel", 264, 116);
    QPushButton* sort = button("SortButton", "&Sort", 264, 152);
    connect(add, &QPushButton::clicked, this, &TMyEditBox::AddButtonClick);
    connect(del, &QPushButton::clicked, this, &TMyEditBox::DeleteButtonClick);
    connect(ok, &QPushButton::clicked, this, &TMyEditBox::OkButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TMyEditBox::CancelButtonClick);
    connect(sort, &QPushButton::clicked, this, &TMyEditBox::SortButtonClick);

    setFixedSize(348, 248);
    addInfo_->clear();
}

QStringList TMyEditBox::entries() const {
    QStringList out;
    for (int i = 0; i < theList_->count(); ++i)
        out << theList_->item(i)->text();
    return out;
}

void TMyEditBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMyEditBox::FormShow() {
    app::placeDialog(this, ctx_);
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
    theList_->setFocus();
    if (theList_->count() > 0)
        theList_->setCurrentRow(0);
    else
        theList_->setCurrentRow(-1);
}

void TMyEditBox::AddButtonClick() {
    const QString text = addInfo_->text().trimmed();
    if (!text.isEmpty())
        theList_->addItem(text); // duplicates are the user's choice
    addInfo_->clear();
    addInfo_->setFocus();
}

void TMyEditBox::DeleteButtonClick() {
    const int row = theList_->currentRow();
    if (row < 0 || !theList_->currentItem() || !theList_->currentItem()->isSelected())
        return;
    delete theList_->takeItem(row);
    if (theList_->count() == 0) {
        theList_->setCurrentRow(-1);
        return;
    }
    theList_->setCurrentRow(std::min(row, theList_->count() - 1));
}

void TMyEditBox::SortButtonClick() {
    if (ctx_.prompter->confirm(
            QStringLiteral("Confirm"),
            QStringLiteral("Are you sure you want to sort the data?  Sorting cannot be undone.")) !=
        app::Button::Yes)
        return;
    QStringList list = entries();
    std::stable_sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    theList_->clear();
    theList_->addItems(list);
}

void TMyEditBox::OkButtonClick() {
    accept();
}

void TMyEditBox::CancelButtonClick() {
    reject();
}

} // namespace shelvix::edit
