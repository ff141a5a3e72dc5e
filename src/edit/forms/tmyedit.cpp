#include "edit/forms/tmyedit.h"

#include "app/appcontext.h"
#include "app/forms/colors.h"
#include "app/forms/helpviewer.h"
#include "app/forms/menukeys.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "db/datalists.h"
#include "edit/forms/tmyeditbox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>

namespace shelvix::edit {

namespace {

constexpr int kFormWidth = 600;
constexpr int kFormHeight = 414;
constexpr int kCheckOutField = db::field::CheckOut;
constexpr int kCheckDateField = db::field::CheckDate;
constexpr int kCheckNameField = db::field::CheckName;
constexpr int kPurchDateField = db::field::PurchDate;
constexpr int kTitleField = db::field::Title;

enum ClipboardOp { Cut, Copy, Paste, Delete };

// Where each control sits on its page: label left, control right.
struct Placement {
    int field;
    int labelX;
    int labelWidth;
    int x;
    int width;
    int row;
};

// clang-format off
constexpr Placement kPlacements[] = {
    // Description
    {1, 8, 110, 120, 450, 0}, {2, 8, 110, 120, 330, 1}, {4, 8, 110, 120, 330, 2},
    {27, 8, 110, 120, 250, 3}, {13, 8, 110, 120, 150, 4}, {20, 290, 60, 350, 70, 4},
    {21, 430, 50, 480, 70, 4}, {3, 8, 110, 120, 60, 5}, {22, 200, 60, 260, 90, 5},
    {24, 370, 50, 420, 60, 5}, {12, 8, 110, 120, 100, 6}, {6, 8, 110, 120, 250, 7},
    // Catalog
    {14, 8, 110, 120, 120, 0}, {15, 260, 70, 330, 60, 0}, {16, 400, 70, 470, 60, 0},
    {28, 8, 110, 120, 160, 1}, {10, 8, 110, 120, 160, 2}, {5, 8, 110, 120, 200, 3},
    {23, 8, 110, 120, 450, 4}, {11, 8, 110, 120, 160, 5}, {25, 8, 110, 120, 250, 6},
    // Worth
    {7, 8, 110, 120, 120, 0}, {8, 8, 110, 120, 120, 1}, {29, 8, 110, 120, 120, 2},
    {30, 8, 110, 120, 120, 3},
    // Library
    {17, 0, 0, 120, 250, 0}, {18, 8, 110, 120, 100, 1}, {19, 8, 110, 120, 250, 2},
    // Other
    {26, 8, 110, 120, 200, 0}, {9, 8, 110, 120, 450, 1}, {31, 8, 110, 120, 300, 2},
    {32, 8, 110, 120, 300, 3}, {33, 8, 110, 120, 300, 4}, {34, 8, 110, 120, 300, 5},
    {35, 8, 110, 120, 300, 6}, {36, 8, 110, 120, 300, 7},
};
// clang-format on

int rowTop(int page, int row) {
    return (page == 0 ? 10 : 36) + row * 29;
}

// The masked date edit keeps its blanks as "_"; the form reads them as
// spaces, as the mask's literal text.
QString maskedText(const QLineEdit* edit) {
    return edit->displayText().replace(u'_', u' ');
}

void setMaskedText(QLineEdit* edit, const QString& text) {
    QString t = text;
    edit->setText(t.replace(u' ', u'_'));
}

QLineEdit* editPart(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->lineEdit();
    return qobject_cast<QLineEdit*>(w);
}

} // namespace

TMyEdit::TMyEdit(app::AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("TMyEdit"));
    FormCreate();
    // Kept for the whole run: each showing scales from the design geometry,
    // never from the last showing's.
    geometry_ = app::FormGeometry::save(this, ctx_.prompter);
}

TMyEdit::~TMyEdit() = default;

// ------------------------------------------------------------- building

void TMyEdit::FormCreate() {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Edit"));
    buildMenu();
    buildPages();
    buildButtons();
    setFixedSize(kFormWidth, kFormHeight);
    SettingCheckOut = false;
    LoadAllList();

    // Key preview: Enter and leaving a control are seen here first.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    app::giveMenuKeysPrecedence(this);
    app::installWindowKeys();
    applyBrowseMode();
}

void TMyEdit::buildMenu() {
    menu_ = new QMenuBar(this);
    menu_->setObjectName(QStringLiteral("MainMenu1"));
    menu_->setNativeMenuBar(false);
    const auto item = [this](QMenu* menu, const char* name, const char* text, const char* key,
                             auto handler) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        if (key)
            a->setShortcut(QKeySequence(QString::fromLatin1(key)));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    QMenu* file = menu_->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    item(file, "MenuNew", "N&ew Record", "Ctrl+E", [this] { MenuNewClick(); });
    item(file, "MenuCopyRecord", "Cop&y Record", "Ctrl+Y", [this] { MenuCopyRecordClick(); });
    item(file, "MenuClear", "&Clear Record", "Ctrl+L", [this] { DoClear(); });
    item(file, "MenuUpdate", "Up&date Record", "Ctrl+R", [this] { DoAnUpdate(); });
    item(file, "MenuUpdateExit", "&Update && Exit", "Ctrl+U", [this] { DoUpdateAndExit(); });
    item(file, "MenuPrintRecord", "Prin&t Record", "Ctrl+T", [this] { MenuPrintRecordClick(); });
    item(file, "MenuPrevious", "&Previous Record", "Ctrl+P", [this] { DoPreviousRecord(); });
    item(file, "MenuNext", "&Next Record", "Ctrl+N", [this] { DoNextRecord(); });
    item(file, "MenuExit", "E&xit", nullptr, [this] { DoExit(); });

    QMenu* editMenu = menu_->addMenu(QStringLiteral("&Edit"));
    editMenu->setObjectName(QStringLiteral("MenuEdit"));
    item(editMenu, "MenuCut", "Cu&t", "Ctrl+X", [this] { clipboard(Cut); });
    item(editMenu, "MenuCopy", "&Copy", "Ctrl+C", [this] { clipboard(Copy); });
    item(editMenu, "MenuPaste", "&Paste", "Ctrl+V", [this] { clipboard(Paste); });
    item(editMenu, "MenuDelete", "&Delete", "Ctrl+D", [this] { clipboard(Delete); });

    QAction* help = menu_->addAction(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    help->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    connect(help, &QAction::triggered, this,
            [this] { app::showHelpTopic(this, QStringLiteral("Input Window")); });
    menu_->setGeometry(0, 0, kFormWidth, menu_->sizeHint().height());
}

void TMyEdit::buildPages() {
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("TabbedNotebook1"));
    const int top = menu_->height() + 4;
    pages_->setGeometry(6, top, kFormWidth - 12, kFormHeight - top - 46);

    static constexpr const char* kPageCaptions[] = {"&Description", "&Catalog", "&Worth",
                                                    "Li&brary", "&Other"};
    static constexpr const char* kPageNames[] = {"DescriptionPage", "CatalogPage", "WorthPage",
                                                 "LibraryPage", "OtherPage"};
    static constexpr const char* kHeaders[] = {"WarrantyItem", "WorthItem", "LibraryItem",
                                               "OtherItem"};
    std::array<QWidget*, 5> page{};
    for (int i = 0; i < 5; ++i) {
        page[std::size_t(i)] = new QWidget;
        page[std::size_t(i)]->setObjectName(QString::fromLatin1(kPageNames[i]));
        pages_->addTab(page[std::size_t(i)], QString::fromLatin1(kPageCaptions[i]));
        if (i > 0) {
            auto* h = new QLabel(page[std::size_t(i)]);
            h->setObjectName(QString::fromLatin1(kHeaders[i - 1]));
            h->setTextFormat(Qt::PlainText);
            h->setGeometry(8, 8, kFormWidth - 40, 20);
            QFont f = h->font();
            f.setBold(true);
            h->setFont(f);
            headers_[std::size_t(i - 1)] = h;
        }
    }

    for (const Placement& p : kPlacements) {
        const EditControlInfo& info = editControls()[std::size_t(p.field - 1)];
        QWidget* parentPage = page[std::size_t(info.page)];
        const QString name = QString::fromLatin1(info.control);
        const int y = rowTop(info.page, p.row);
        QWidget* w = nullptr;
        switch (info.kind) {
        case ControlKind::Edit:
        case ControlKind::Date: {
            auto* e = new QLineEdit(parentPage);
            if (info.kind == ControlKind::Edit)
                e->setMaxLength(info.maxLength);
            w = e;
            break;
        }
        case ControlKind::DropDown: {
            auto* c = new QComboBox(parentPage);
            c->setEditable(true);
            c->setInsertPolicy(QComboBox::NoInsert);
            c->setMaxVisibleItems(12);
            c->lineEdit()->setMaxLength(info.maxLength);
            // Completion must never change the case of what was typed: the
            // lists tell "smith" from "Smith".
            c->completer()->setCaseSensitivity(Qt::CaseSensitive);
            w = c;
            break;
        }
        case ControlKind::CheckBox:
            checkOut_ = new QCheckBox(parentPage);
            connect(checkOut_, &QCheckBox::clicked, this, [this] { CheckOutClick(); });
            w = checkOut_;
            break;
        }
        w->setObjectName(name);
        w->setGeometry(p.x, y, p.width, 24);
        controls_[std::size_t(p.field - 1)] = w;
        if (p.labelWidth > 0) {
            auto* l = new QLabel(parentPage);
            l->setObjectName(name + QStringLiteral("Label"));
            l->setTextFormat(Qt::PlainText);
            l->setGeometry(p.labelX, y + 3, p.labelWidth - 4, 20);
            l->setBuddy(w);
            labels_[std::size_t(p.field - 1)] = l;
        }
    }

    auto* blankPurch = new QPushButton(QStringLiteral("Blan&k"), page[0]);
    blankPurch->setObjectName(QStringLiteral("BlankPurchDate"));
    blankPurch->setGeometry(226, rowTop(0, 6), 70, 24);
    connect(blankPurch, &QPushButton::clicked, this, [this] { BlankPurchDateClick(); });
    auto* blankCheck = new QPushButton(QStringLiteral("Blan&k Date"), page[3]);
    blankCheck->setObjectName(QStringLiteral("BlankCheckOut"));
    blankCheck->setGeometry(226, rowTop(3, 1), 90, 24);
    connect(blankCheck, &QPushButton::clicked, this, [this] { BlankCheckOutClick(); });
    for (QPushButton* b : {blankPurch, blankCheck})
        b->setAutoDefault(false);
    setDateMasks();
}

void TMyEdit::buildButtons() {
    struct ButtonSpec {
        const char* name;
        const char* text;
        void (TMyEdit::*handler)();
    };
    static constexpr ButtonSpec kButtons[] = {
        {"UpdateExitButton", "&Update && Exit", &TMyEdit::DoUpdateAndExit},
        {"UpdateButton", "Up&date", &TMyEdit::DoAnUpdate},
        {"ClearButton", "C&lear", &TMyEdit::DoClear},
        {"CancelButton", "E&xit", &TMyEdit::DoExit},
        {"PrevButton", "&Previous", &TMyEdit::DoPreviousRecord},
        {"NextButton", "&Next", &TMyEdit::DoNextRecord},
    };
    const int width = (kFormWidth - 12 - 5 * 6) / 6;
    int x = 6;
    for (const ButtonSpec& def : kButtons) {
        auto* b = new QPushButton(QString::fromLatin1(def.text), this);
        b->setObjectName(QString::fromLatin1(def.name));
        b->setGeometry(x, kFormHeight - 38, width, 30);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, def.handler);
        x += width + 6;
    }
}

void TMyEdit::applyBrowseMode() {
    if (!ctx_.browseMode)
        return;
    for (const char* name : {"MenuNew", "MenuClear", "MenuUpdate", "MenuUpdateExit", "MenuCut",
                             "MenuCopy", "MenuPaste", "MenuDelete"})
        findChild<QAction*>(QString::fromLatin1(name))->setEnabled(false);
    for (const char* name : {"UpdateExitButton", "UpdateButton", "ClearButton"})
        findChild<QPushButton*>(QString::fromLatin1(name))->setEnabled(false);
}

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
    const auto& lists = db::dataListTable();
    for (int n = 1; n <= db::kDataListCount; ++n)
        AddToList(n, controlText(
                         editControl(QLatin1String(lists[std::size_t(n - 1)].editControl))->field));
    for (int n = 1; n <= db::kDataListCount; ++n)
        AddToListTwwDB(
            n, controlText(editControl(QLatin1String(lists[std::size_t(n - 1)].editControl))->field)
                   .trimmed());

    db::Table* table = ctx_.MyTable.get();
    if (!table)
        return false;
    // Edit mode on a table without a current record has nothing to edit;
    // the user's entries become a new record rather than being lost.
    const bool insert = ctx_.EditMode != app::EditMode::Edit || table->recno() == 0;
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
            if (event->type() == QEvent::KeyPress)
                enterKey(watched);
            event->accept();
            return true; // never reaches the control
        }
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
}

void TMyEdit::SaveAllLists() {
    if (!ctx_.current.base.isEmpty())
        db::SaveAllLists(ctx_.current.base, ctx_.lists);
}

void TMyEdit::LoadDefaultList() {
    ctx_.lists = db::LoadDefaultList(ctx_.paths.dataDir);
    showLists();
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
