#include "app/appcontext.h"
#include "app/forms/helpviewer.h"
#include "app/forms/menukeys.h"
#include "edit/forms/tmyedit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>

// The edit form's controls at their design places, its menu and buttons.
namespace shelvix::edit {

namespace {

constexpr int kFormWidth = 600;
constexpr int kFormHeight = 414;

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

} // namespace

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

} // namespace shelvix::edit
