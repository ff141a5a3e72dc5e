#include "edit/forms/tmyedit.h"

#include "app/appcontext.h"
#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "db/datalists.h"
#include "edit/forms/tmyeditbox.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace shelvix::edit {

namespace {

constexpr int kCheckOutField = db::field::CheckOut;
constexpr int kCheckDateField = db::field::CheckDate;
constexpr int kCheckNameField = db::field::CheckName;
constexpr int kPurchDateField = db::field::PurchDate;
constexpr int kTitleField = db::field::Title;

// The masked date edit keeps its blanks as "_"; the form reads them as
// spaces, as the mask's literal text.
QString maskedText(const QLineEdit* edit) {
    return edit->displayText().replace(u'_', u' ');
}

void setMaskedText(QLineEdit* edit, const QString& text) {
    QString t = text;
    edit->setText(t.replace(u' ', u'_'));
}

} // namespace

QLineEdit* editPart(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->lineEdit();
    return qobject_cast<QLineEdit*>(w);
}

TMyEdit::TMyEdit(app::AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("TMyEdit"));
    clock_.start();
    FormCreate();
    // Kept for the whole run: each showing scales from the design geometry,
    // never from the last showing's.
    geometry_ = app::FormGeometry::save(this, ctx_.prompter);
}

TMyEdit::~TMyEdit() = default;

// ------------------------------------------------------------- building

// The mask follows the current date separator.
void TMyEdit::setDateMasks() {
    const QChar sep = ctx_.formats.dateSeparator();
    for (int field : {kPurchDateField, kCheckDateField}) {
        auto* e = static_cast<QLineEdit*>(controls_[std::size_t(field - 1)]);
        e->setInputMask(QStringLiteral("00") + sep + QStringLiteral("00") + sep +
                        QStringLiteral("0000;_"));
    }
}

QWidget* TMyEdit::control(const QString& name) const {
    const EditControlInfo* info = editControl(name);
    return info ? controls_[std::size_t(info->field - 1)] : nullptr;
}

// ----------------------------------------------------------- the values

QString TMyEdit::controlText(int field) const {
    QWidget* w = controls_[std::size_t(field - 1)];
    const EditControlInfo& info = editControls()[std::size_t(field - 1)];
    switch (info.kind) {
    case ControlKind::Date:
        return maskedText(static_cast<QLineEdit*>(w));
    case ControlKind::DropDown:
        return static_cast<QComboBox*>(w)->currentText();
    case ControlKind::Edit:
        return static_cast<QLineEdit*>(w)->text();
    case ControlKind::CheckBox:
        break;
    }
    return {};
}

void TMyEdit::setControlText(int field, const QString& text) {
    QWidget* w = controls_[std::size_t(field - 1)];
    const EditControlInfo& info = editControls()[std::size_t(field - 1)];
    switch (info.kind) {
    case ControlKind::Date:
        setMaskedText(static_cast<QLineEdit*>(w), text);
        break;
    case ControlKind::DropDown:
        static_cast<QComboBox*>(w)->setEditText(text);
        break;
    case ControlKind::Edit:
        static_cast<QLineEdit*>(w)->setText(text);
        break;
    case ControlKind::CheckBox:
        break;
    }
}

RecordValues TMyEdit::values() const {
    RecordValues v;
    for (int field = 1; field <= db::kFieldCount; ++field)
        if (field != kCheckOutField)
            v[field] = controlText(field);
    v.checkedOut = checkOut_->isChecked();
    return v;
}

void TMyEdit::setValues(const RecordValues& values) {
    for (int field = 1; field <= db::kFieldCount; ++field)
        if (field != kCheckOutField)
            setControlText(field, values[field]);
    SettingCheckOut = true;
    checkOut_->setChecked(values.checkedOut);
    SettingCheckOut = false;
    markIsbn();
}

void TMyEdit::LoadInData() {
    db::Table* table = ctx_.MyTable.get();
    RecordValues v;
    if (table && table->recno() != 0) {
        try {
            v = readRecord(*table, ctx_.formats);
        } catch (const db::DatabaseError& e) {
            app::showError(*ctx_.prompter, e);
        }
    }
    for (int field : {kPurchDateField, kCheckDateField})
        if (v[field].isEmpty())
            v[field] = blankDateMask(ctx_.formats.dateSeparator());
    setValues(v);
    SavedCheckDate = controlText(kCheckDateField).left(10);
    SavedCheckName = controlText(kCheckNameField).left(30);
    SetCaptions();
}

void TMyEdit::SaveValues() {
    SavedValues = snapshotOf(values());
    setWindowTitle(QStringLiteral("Edit"));
}

bool TMyEdit::ValuesChanged() const {
    return valuesChanged(values(), SavedValues);
}

void TMyEdit::SetCaptions() {
    const QString text =
        ctx_.database.fieldNames[kTitleField - 1] + QStringLiteral(": ") + controlText(kTitleField);
    for (QLabel* h : headers_)
        h->setText(text);
}

void TMyEdit::TitleExit() {
    SetCaptions();
}

void TMyEdit::DoClear() {
    RecordValues v;
    for (int field : {7, 8, 29, 30})
        v[field] = QStringLiteral("0");
    for (int field : {kPurchDateField, kCheckDateField})
        v[field] = blankDateMask(ctx_.formats.dateSeparator());
    setValues(v);
    SetCaptions();
    toFirstField();
}

// A new, copied or cleared book is typed from its title on.
void TMyEdit::toFirstField() {
    pages_->setCurrentIndex(0);
    controls_[kTitleField - 1]->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- saving

bool TMyEdit::DoUpdate() {
    const RecordValues v = values();
    if (const auto bad = validateEntries(v, ctx_.formats)) {
        ctx_.prompter->error(bad->message);
        pages_->setCurrentIndex(bad->page);
        control(bad->control)->setFocus();
        return false;
    }
    db::Table* table = ctx_.MyTable.get();
    if (!table)
        return false;
    // Edit mode on a table without a current record has nothing to edit;
    // the user's entries become a new record rather than being lost.
    const bool insert = ctx_.EditMode != app::EditMode::Edit || table->recno() == 0;
    if (insert && !mayAddIsbn(*table, v[db::field::ISBN]))
        return false;
    const auto& lists = db::dataListTable();
    for (int n = 1; n <= db::kDataListCount; ++n)
        AddToList(n, controlText(
                         editControl(QLatin1String(lists[std::size_t(n - 1)].editControl))->field));
    for (int n = 1; n <= db::kDataListCount; ++n)
        AddToListTwwDB(
            n, controlText(editControl(QLatin1String(lists[std::size_t(n - 1)].editControl))->field)
                   .trimmed());

    if (const auto failure = writeRecord(*table, v, insert, ctx_.formats)) {
        // The table's change was cancelled; the entries stay for another try.
        ctx_.prompter->error(*failure);
        return false;
    }
    ctx_.EditMode = app::EditMode::Edit;
    return true;
}

void TMyEdit::DoAnUpdate() {
    if (DoUpdate())
        SaveValues();
}

void TMyEdit::DoUpdateAndExit() {
    if (DoUpdate())
        accept();
}

// ---------------------------------------------------------- the commands

bool TMyEdit::askUpdate(const QString& text) {
    ctx_.prompter->beep(app::Beep::Question);
    const app::Button answer =
        ctx_.prompter->message({.kind = app::MessageKind::Warning,
                                .caption = QStringLiteral("Warning"),
                                .text = text,
                                .buttons = app::Button::Yes | app::Button::No | app::Button::Cancel,
                                .defaultButton = app::Button::No});
    if (answer == app::Button::Cancel)
        return false;
    if (answer == app::Button::Yes)
        return DoUpdate();
    return true;
}

void TMyEdit::DoExit() {
    if (mayLeave())
        reject();
}

// Leaving without saving asks first while there are changes, whichever way
// the form is left: Exit, Escape, the window's close button.
bool TMyEdit::mayLeave() {
    if (ctx_.browseMode || !ValuesChanged())
        return true;
    ctx_.prompter->beep(app::Beep::Question);
    return ctx_.prompter->message(
               {.kind = app::MessageKind::Warning,
                .caption = QStringLiteral("Warning"),
                .text = QStringLiteral("Data has changed.  Do you want to exit without updating?"),
                .buttons = app::Button::Yes | app::Button::No,
                .defaultButton = app::Button::No}) == app::Button::Yes;
}

void TMyEdit::closeEvent(QCloseEvent* event) {
    if (isVisible() && !mayLeave()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TMyEdit::MenuNewClick() {
    if (ValuesChanged() && !askUpdate(QStringLiteral(
                               "Data has changed.  Update this record before creating new one?")))
        return;
    DoClear();
    ctx_.EditMode = app::EditMode::Add;
    SaveValues();
    setWindowTitle(QStringLiteral("Edit (New Record)"));
}

void TMyEdit::MenuCopyRecordClick() {
    if (ValuesChanged() && !askUpdate(QStringLiteral("Data has changed.  Update this record "
                                                     "before creating new one with the current "
                                                     "data?")))
        return;
    ctx_.EditMode = app::EditMode::Add;
    SaveValues();
    setWindowTitle(QStringLiteral("Edit (New Copied Record)"));
    toFirstField();
}

void TMyEdit::moveRecord(bool forward) {
    const QString where = forward ? QStringLiteral("next") : QStringLiteral("previous");
    if (!ctx_.browseMode) {
        QString question;
        if (ctx_.EditMode == app::EditMode::Add || ctx_.EditMode == app::EditMode::Copy)
            question = QStringLiteral("This record has not been updated yet.  Update this record "
                                      "before moving to the %1 record?")
                           .arg(where);
        else if (ValuesChanged())
            question =
                QStringLiteral("Data has changed.  Update this record before moving to the %1 "
                               "record?")
                    .arg(where);
        if (!question.isEmpty() && !askUpdate(question))
            return;
    }
    if (db::Table* table = ctx_.MyTable.get()) {
        try {
            if (forward)
                table->next();
            else
                table->prior();
        } catch (const db::DatabaseError& e) {
            app::showError(*ctx_.prompter, e);
        }
    }
    LoadInData();
    SaveValues();
    ctx_.EditMode = app::EditMode::Edit;
}

void TMyEdit::DoPreviousRecord() {
    moveRecord(false);
}

void TMyEdit::DoNextRecord() {
    moveRecord(true);
}

void TMyEdit::MenuPrintRecordClick() {
    printer_.print(printLines(values(), ctx_.database.fieldNames), *ctx_.prompter);
}

void TMyEdit::CheckOutClick() {
    if (SettingCheckOut)
        return;
    if (checkOut_->isChecked()) {
        setControlText(kCheckDateField, SavedCheckDate);
        setControlText(kCheckNameField, SavedCheckName);
    } else {
        SavedCheckDate = controlText(kCheckDateField).left(10);
        SavedCheckName = controlText(kCheckNameField).left(30);
        setControlText(kCheckDateField, blankDateMask(ctx_.formats.dateSeparator()));
        setControlText(kCheckNameField, QString());
    }
}

void TMyEdit::BlankPurchDateClick() {
    setControlText(kPurchDateField, blankDateMask(ctx_.formats.dateSeparator()));
}

void TMyEdit::BlankCheckOutClick() {
    setControlText(kCheckDateField, blankDateMask(ctx_.formats.dateSeparator()));
}

void TMyEdit::clipboard(int operation) {
    QWidget* focused = QApplication::focusWidget();
    if (!focused || !isAncestorOf(focused))
        return;
    QWidget* owner = focused;
    if (auto* combo = qobject_cast<QComboBox*>(focused->parentWidget()))
        owner = combo;
    const EditControlInfo* info = editControl(owner->objectName());
    if (!info || (info->kind != ControlKind::Edit && info->kind != ControlKind::DropDown))
        return;
    QLineEdit* e = editPart(owner);
    switch (operation) {
    case Cut:
        e->cut();
        break;
    case Copy:
        e->copy();
        break;
    case Paste:
        e->paste();
        break;
    case Delete:
        e->del();
        break;
    }
}

// ------------------------------------------------------------- showing

void TMyEdit::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMyEdit::FormShow() {
    app::placeDialog(this, geometry_, ctx_, {.moveUp10 = true});
    for (int field = 1; field <= db::kFieldCount; ++field) {
        const QString& name = ctx_.database.fieldNames[std::size_t(field - 1)];
        if (QLabel* l = labels_[std::size_t(field - 1)])
            l->setText(name);
    }
    checkOut_->setText(ctx_.database.fieldNames[kCheckOutField - 1]);
    pages_->setCurrentIndex(0);
    app::applyColorSet(this, ctx_, app::ColorGroup::Edit);
    setDateMasks();
    showLists();
    SetCaptions();
    if (ctx_.EditMode == app::EditMode::Edit || ctx_.EditMode == app::EditMode::Copy)
        LoadInData();
    else
        DoClear();
    SaveValues();
    toFirstField();
}

void TMyEdit::done(int result) {
    SaveAllLists();
    QDialog::done(result);
}

void TMyEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        DoExit();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TMyEdit::enterKey(QObject* target) {
    QWidget* w = qobject_cast<QWidget*>(target);
    while (w && w != this && !editControl(w->objectName()))
        w = w->parentWidget();
    if (!w || w == this)
        return;
    const auto step = enterChainNext(w->objectName());
    if (!step)
        return;
    if (step->page >= 0)
        pages_->setCurrentIndex(step->page);
    // As Tab does: the text is selected (a date's cursor goes to its start),
    // so what is typed next replaces it.
    control(step->control)->setFocus(Qt::TabFocusReason);
}

bool TMyEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (event->type() == QEvent::KeyPress && !takeScannedIsbn())
                enterKey(watched);
            event->accept();
            return true; // never reaches the control
        }
        if (event->type() == QEvent::KeyPress)
            noteTypedKey(watched, static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::MouseButtonRelease) {
        // A click into an empty date starts typing at its first digit, not
        // wherever in the blanks the mouse landed.
        const EditControlInfo* info = editControl(watched->objectName());
        if (info && info->kind == ControlKind::Date) {
            auto* e = static_cast<QLineEdit*>(watched);
            if (isBlankDate(maskedText(e)) && !e->hasSelectedText())
                e->setCursorPosition(0);
        }
    } else if (event->type() == QEvent::FocusOut) {
        if (const EditControlInfo* info = editControl(watched->objectName())) {
            if (info->exit == ExitHandler::Caption) {
                TitleExit();
                if (info->field == db::field::ISBN)
                    markIsbn();
            } else if (info->exit == ExitHandler::Money) {
                auto* e = static_cast<QLineEdit*>(watched);
                if (!e->text().trimmed().isEmpty())
                    e->setText(moneyOnExit(e->text(), ctx_.formats));
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ----------------------------------------------------------- data lists

void TMyEdit::showLists() {
    const auto& table = db::dataListTable();
    for (int n = 1; n <= db::kDataListCount; ++n) {
        auto* combo =
            static_cast<QComboBox*>(control(QLatin1String(table[std::size_t(n - 1)].editControl)));
        const QString text = combo->currentText();
        combo->clear();
        combo->addItems(ctx_.lists[std::size_t(n - 1)]);
        combo->setCurrentIndex(-1);
        combo->setEditText(text);
    }
    Q_EMIT listsShown(ctx_.lists);
}

void TMyEdit::AddToList(int number, const QString& text) {
    QStringList& list = ctx_.lists[std::size_t(number - 1)];
    if (!db::AddToList(list, text))
        return;
    auto* combo = static_cast<QComboBox*>(
        control(QLatin1String(db::dataListTable()[std::size_t(number - 1)].editControl)));
    const QString current = combo->currentText();
    combo->addItem(list.back());
    combo->setEditText(current);
}

void TMyEdit::AddToListTwwDB(int number, const QString& text) {
    const int field =
        editControl(QLatin1String(db::dataListTable()[std::size_t(number - 1)].editControl))->field;
    Q_EMIT gridListEntryAdded(field, text);
}

void TMyEdit::LoadAllList() {
    ctx_.lists = db::LoadAllList(ctx_.current.base, ctx_.paths.dataDir);
    showLists();
    app::showRefusedFiles(*ctx_.prompter);
}

void TMyEdit::SaveAllLists() {
    if (!ctx_.current.base.isEmpty())
        db::SaveAllLists(ctx_.current.base, ctx_.lists);
}

void TMyEdit::LoadDefaultList() {
    ctx_.lists = db::LoadDefaultList(ctx_.paths.dataDir);
    showLists();
    app::showRefusedFiles(*ctx_.prompter);
}

void TMyEdit::SaveDefaultLists() {
    db::SaveDefaultLists(ctx_.paths.dataDir, ctx_.lists);
}

void TMyEdit::EditAList(int number) {
    if (number < 1 || number > db::kDataListCount) {
        SaveAllLists();
        return;
    }
    const db::DataListInfo& info = db::dataListTable()[std::size_t(number - 1)];
    TMyEditBox box(ctx_, ctx_.lists[std::size_t(number - 1)], QString::fromLatin1(info.captionName),
                   info.entryLength, number, parentWidget());
    if (box.exec() != QDialog::Accepted)
        return;
    ctx_.lists[std::size_t(number - 1)] = box.entries();
    showLists();
    SaveAllLists();
}

void TMyEdit::MenuSaveDefaultsClick() {
    ctx_.prompter->beep(app::Beep::Question);
    if (ctx_.prompter->message(
            {.kind = app::MessageKind::Warning,
             .caption = QStringLiteral("Warning"),
             .text = QStringLiteral(
                 "Your current Data Lists will become your default list values.  These values "
                 "will be used when new databases are created.  Previous default values will be "
                 "lost.  Do you want to proceed?"),
             .buttons = app::Button::Yes | app::Button::No,
             .defaultButton = app::Button::No}) == app::Button::Yes)
        SaveDefaultLists();
}

void TMyEdit::MenuLoadDefaultsClick() {
    ctx_.prompter->beep(app::Beep::Question);
    if (ctx_.prompter->message(
            {.kind = app::MessageKind::Warning,
             .caption = QStringLiteral("Warning"),
             .text = QStringLiteral("Your current Data Lists will be overridden with your default "
                                    "list values. Previous  values will be lost.  Do you want to "
                                    "proceed?"),
             .buttons = app::Button::Yes | app::Button::No,
             .defaultButton = app::Button::No}) == app::Button::Yes)
        LoadDefaultList();
}

} // namespace shelvix::edit
