#include "find/forms/tmylocate.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "core/text.h"
#include "db/engine/error.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstring>
#include <vector>

namespace shelvix::find {

namespace {

void inform(app::AppContext& ctx, const QString& text) {
    ctx.prompter->message({.kind = app::MessageKind::Information,
                           .caption = QStringLiteral("Information"),
                           .text = text});
}

void warn(app::AppContext& ctx, const QString& text) {
    ctx.prompter->message(
        {.kind = app::MessageKind::Warning, .caption = QStringLiteral("Warning"), .text = text});
}

// The label the grid gives a field: its user-visible name while the viewer
// shows it, else its table name.
QString fieldLabel(const app::AppContext& ctx, const db::Table& table, const std::string& name,
                   bool* shown) {
    const int number = db::fieldNumber(name);
    *shown = number > 0 && ctx.database.displayFields[std::size_t(number - 1)];
    QString label = *shown ? ctx.database.fieldNames[std::size_t(number - 1)]
                           : db::decodeField(name, table.codePage());
    return label.replace(u'~', u' ');
}

} // namespace

// ------------------------------------------------------------ the component

bool TMyLocateDialog::runSearch(bool fromStart, const LocateQuery& query) {
    db::Table* table = ctx_.MyTable.get();
    if (!table || query.field.empty())
        return false;
    LocateOutcome outcome = LocateOutcome::NotFound;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        outcome = locateRecord(*table, fromStart, query, ctx_.formats);
    } catch (const db::DatabaseError& e) {
        QApplication::restoreOverrideCursor();
        ctx_.prompter->error(db::errorText(e));
        return false;
    }
    QApplication::restoreOverrideCursor();
    if (outcome == LocateOutcome::NoField)
        warn(ctx_, QStringLiteral("Field ") + db::decodeField(query.field, table->codePage()) +
                       QStringLiteral(" not found."));
    return outcome == LocateOutcome::Found;
}

bool TMyLocateDialog::Execute() {
    if (!ctx_.MyTable) {
        ctx_.prompter->error(QStringLiteral("DataSource does not reference an active DataSet"));
        return false;
    }
    TMyLocateDlg form(ctx_, *this, owner_);
    form.load(*ctx_.MyTable);
    if (aboutToShow)
        aboutToShow(form);
    const bool found = form.exec() == QDialog::Accepted;
    MatchType = form.matchType();
    CaseSensitive = form.CaseSensitiveCheckBox->isChecked();
    LastSearchValue = form.SearchValue->text();
    SearchField = form.chosenField();
    return found;
}

bool TMyLocateDialog::FindNext() {
    if (!ctx_.MyTable) {
        warn(ctx_, QStringLiteral("DataSource does not refer to an active table!"));
        return false;
    }
    if (LastSearchValue.isEmpty()) {
        DefaultButton = TMyDefaultButtonType::dbFindNext;
        return Execute();
    }
    const bool found = runSearch(false, {SearchField, CaseSensitive, MatchType, LastSearchValue});
    if (!found && ShowMessages)
        inform(ctx_, QStringLiteral("No more matches found"));
    return found;
}

// ------------------------------------------------------------ the form

TMyLocateDlg::TMyLocateDlg(app::AppContext& context, TMyLocateDialog& component, QWidget* parent)
    : QDialog(parent), ctx_(context), component_(component) {
    setObjectName(QStringLiteral("TMyLocateDlg"));
    setWindowTitle(QStringLiteral("Locate Value"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    resize(338, 270);

    auto* fieldGroup = new QGroupBox(QStringLiteral("&Field To Search On"), this);
    fieldGroup->setObjectName(QStringLiteral("FieldGroup"));
    fieldGroup->setGeometry(8, 8, 322, 56);
    FieldNameComboBox = new QComboBox(fieldGroup);
    FieldNameComboBox->setObjectName(QStringLiteral("FieldNameComboBox"));
    FieldNameComboBox->setGeometry(10, 22, 302, 24);
    FieldNameComboBox->setMaxVisibleItems(12);
    FieldNameComboBox->installEventFilter(this);

    auto* typeGroup = new QGroupBox(QStringLiteral("&Search Type"), this);
    typeGroup->setObjectName(QStringLiteral("SearchTypeGroup"));
    typeGroup->setGeometry(8, 70, 322, 104);
    ExactMatchBtn = new QRadioButton(QStringLiteral("&Exact Match"), typeGroup);
    ExactMatchBtn->setObjectName(QStringLiteral("ExactMatchBtn"));
    ExactMatchBtn->setGeometry(10, 22, 200, 22);
    PartialMatchStartBtn =
        new QRadioButton(QStringLiteral("&Partial Match at Beginning"), typeGroup);
    PartialMatchStartBtn->setObjectName(QStringLiteral("PartialMatchStartBtn"));
    PartialMatchStartBtn->setGeometry(10, 48, 240, 22);
    PartialMatchStartBtn->setChecked(true);
    PartialMatchAnyBtn = new QRadioButton(QStringLiteral("Partial Match &Anywhere"), typeGroup);
    PartialMatchAnyBtn->setObjectName(QStringLiteral("PartialMatchAnyBtn"));
    PartialMatchAnyBtn->setGeometry(10, 74, 240, 22);
    CaseSensitiveCheckBox = new QCheckBox(QStringLiteral("&Case-sensitive"), typeGroup);
    CaseSensitiveCheckBox->setObjectName(QStringLiteral("CaseSensitiveCheckBox"));
    CaseSensitiveCheckBox->setGeometry(200, 22, 116, 22);

    auto* valueGroup = new QGroupBox(QStringLiteral("Search &Value"), this);
    valueGroup->setObjectName(QStringLiteral("SearchValueGroup"));
    valueGroup->setGeometry(8, 180, 322, 50);
    SearchValue = new QLineEdit(valueGroup);
    SearchValue->setObjectName(QStringLiteral("SearchValue"));
    SearchValue->setGeometry(10, 20, 302, 22);
    SearchValue->setMaxLength(255);

    const auto button = [this](const char* name, const QString& text, int left) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 238, 100, 26);
        b->setAutoDefault(false);
        return b;
    };
    FirstButton = button("FirstButton", QStringLiteral("Fi&rst"), 8);
    NextButton = button("NextButton", QStringLiteral("&Next"), 119);
    BitBtn1 = button("BitBtn1", QStringLiteral("Cancel"), 230);
    connect(FirstButton, &QPushButton::clicked, this, [this] { FindFirst(); });
    connect(NextButton, &QPushButton::clicked, this, [this] { FindNextBtnClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(FieldNameComboBox, &QComboBox::activated, this, [this] { FieldNameComboBoxChange(); });

    setTabOrder(FieldNameComboBox, CaseSensitiveCheckBox);
    setTabOrder(CaseSensitiveCheckBox, ExactMatchBtn);
    setTabOrder(ExactMatchBtn, SearchValue);
    setTabOrder(SearchValue, FirstButton);
    setTabOrder(FirstButton, NextButton);
    setTabOrder(NextButton, BitBtn1);
}

void TMyLocateDlg::load(const db::Table& table) {
    struct Entry {
        QString label;
        std::string name;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < table.fieldCount(); ++i) {
        const db::FieldLayout& f = table.field(i);
        if (!std::strchr("CNFDL", f.type))
            continue; // memos and binary fields cannot be searched as text
        bool shown = false;
        QString label = fieldLabel(ctx_, table, f.name, &shown);
        if (component_.FieldSelection == TMyFieldSelection::fsVisibleFields && !shown)
            continue;
        entries.push_back({std::move(label), f.name});
    }
    if (component_.SortFields == TMyFieldSortType::fsSortByFieldName)
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return QString::compare(a.label, b.label, Qt::CaseInsensitive) < 0;
        });
    FieldNameComboBox->clear();
    for (const Entry& e : entries)
        FieldNameComboBox->addItem(e.label, QByteArray::fromStdString(e.name));

    defaultButton_ =
        component_.DefaultButton == TMyDefaultButtonType::dbFindNext ? NextButton : FirstButton;
    defaultButton_->setDefault(true);

    int chosen = -1;
    for (int i = 0; i < FieldNameComboBox->count() && !component_.SearchField.empty(); ++i)
        if (core::equalsNoCase(FieldNameComboBox->itemData(i).toByteArray().toStdString(),
                               component_.SearchField))
            chosen = i;
    FieldNameComboBox->setCurrentIndex(chosen);
    SearchValue->setText(chosen >= 0 ? component_.LastSearchValue : QString());

    CaseSensitiveCheckBox->setChecked(component_.CaseSensitive);
    switch (component_.MatchType) {
    case TMyLocateMatchType::mtExactMatch:
        ExactMatchBtn->setChecked(true);
        break;
    case TMyLocateMatchType::mtPartialMatchStart:
        PartialMatchStartBtn->setChecked(true);
        break;
    case TMyLocateMatchType::mtPartialMatchAny:
        PartialMatchAnyBtn->setChecked(true);
        break;
    }
    setWindowTitle(component_.Caption.isEmpty() ? QStringLiteral("Locate Value")
                                                : component_.Caption);
}

TMyLocateMatchType TMyLocateDlg::matchType() const {
    if (ExactMatchBtn->isChecked())
        return TMyLocateMatchType::mtExactMatch;
    if (PartialMatchAnyBtn->isChecked())
        return TMyLocateMatchType::mtPartialMatchAny;
    return TMyLocateMatchType::mtPartialMatchStart;
}

std::string TMyLocateDlg::chosenField() const {
    const int i = FieldNameComboBox->currentIndex();
    return i < 0 ? std::string() : FieldNameComboBox->itemData(i).toByteArray().toStdString();
}

void TMyLocateDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    app::placeDialog(this, ctx_);
    setFixedSize(size());
    SetColors();
    SearchValue->setFocus();
}

void TMyLocateDlg::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
}

void TMyLocateDlg::find(bool fromStart, const QString& failure) {
    const LocateQuery query{chosenField(), CaseSensitiveCheckBox->isChecked(), matchType(),
                            SearchValue->text()};
    // No field chosen counts as nothing found.
    if (component_.runSearch(fromStart, query)) {
        accept();
        return;
    }
    inform(ctx_, failure);
}

void TMyLocateDlg::FindFirst() {
    find(true, QStringLiteral("No matches found"));
}

void TMyLocateDlg::FindNextBtnClick() {
    find(false, QStringLiteral("No more matches found"));
}

void TMyLocateDlg::FieldNameComboBoxChange() {
    SearchValue->clear();
    if (!FieldNameComboBox->view()->isVisible())
        SearchValue->setFocus();
}

// Enter in the field list must not start a search: no default button while
// it has the focus.
bool TMyLocateDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FieldNameComboBox && defaultButton_) {
        if (event->type() == QEvent::FocusIn)
            defaultButton_->setDefault(false);
        else if (event->type() == QEvent::FocusOut && !FieldNameComboBox->view()->isVisible())
            defaultButton_->setDefault(true);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace shelvix::find
