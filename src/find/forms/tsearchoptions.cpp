#include "find/forms/tsearchoptions.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace shelvix::find {

TSearchOptions::TSearchOptions(app::AppContext& context, QWidget* parent)
    : QDialog(parent), ctx_(context) {
    setObjectName(QStringLiteral("TSearchOptions"));
    setWindowTitle(QStringLiteral("Search Options"));
    resize(260, 290);

    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("FieldNameLabel"));
    label_->setAlignment(Qt::AlignCenter);
    label_->setGeometry(8, 8, 244, 20);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListBox1"));
    list_->setGeometry(8, 32, 244, 208);

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(44, 252, 80, 27);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(136, 252, 80, 27);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TSearchOptions::LoadList(const QString& fieldLabel, const QStringList& items, int selected) {
    label_->setText(fieldLabel);
    list_->clear();
    list_->addItems(items);
    // Some entry is always current and chosen, the first when none is
    // given: Enter takes what is shown and Down goes to the next.
    if (selected < 0 || selected >= list_->count())
        selected = 0;
    if (list_->count() > 0)
        list_->setCurrentRow(selected);
}

void TSearchOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TSearchOptions::FormShow() {
    app::placeDialog(this, ctx_);
    setFixedSize(size());
    SetColors();
    list_->setFocus();
}

void TSearchOptions::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Search);
}

void TSearchOptions::OkButtonClick() {
    const QListWidgetItem* item = list_->currentItem();
    chosen_ = item && item->isSelected() ? list_->currentRow() : -1;
    accept();
}

} // namespace shelvix::find
