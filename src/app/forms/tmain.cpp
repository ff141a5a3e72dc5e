#include "app/forms/tmain.h"

#include "app/appinfo.h"
#include "app/datadir.h"
#include "app/formatmenu.h"
#include "app/forms/dbnavigator.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "db/fieldtable.h"
#include "edit/forms/tmyedit.h"
#include "viewer/forms/viewergrid.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

namespace shelvix::app {

struct TMain::Command {
    QString name;
    std::function<void()> run; // empty while the feature is still to come
    bool changesData = false;  // barred in browse mode
    std::vector<QAction*> actions;
    std::vector<QAbstractButton*> speeds;
    std::vector<QAbstractButton*> lettered;
};

namespace {

QFont arial(int pixelHeight, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

} // namespace

TMain::TMain(AppContext& context, QWidget* parent)
    : QMainWindow(parent), ctx_(context), databases_(context, *this),
      maintenance_(context, databases_, *this) {
    setObjectName(QStringLiteral("TMain"));
    buildControls();
    buildMenus();
    connectColorAndHelpCommands();
    updateCommandStates();
}

TMain::~TMain() {
    detachGrid();
    navigator_->setTable(nullptr);
}

// ---------------------------------------------------------------- controls

void TMain::buildControls() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    client_->setFont(arial(17));
    client_->installEventFilter(this);
    setCentralWidget(client_);
    resize(kClientDesignWidth, kClientDesignHeight);

    const auto bevel = [this](const char* name, int left, int top, int width, int height) {
        auto* f = new QFrame(client_);
        f->setObjectName(QString::fromLatin1(name));
        f->setFrameStyle(QFrame::Panel | QFrame::Raised);
        f->setGeometry(left, top, width, height);
        return f;
    };
    bevels_[0] = bevel("Bevel1", 4, 4, 149, 77);
    bevels_[1] = bevel("Bevel3", 156, 4, 77, 77);
    bevels_[2] = bevel("Bevel2", 236, 4, 77, 77);
    bevels_[3] = bevel("Bevel4", 316, 4, 77, 77);
    viewerBevel_ = bevel("ViewerBevel", 4, 88, 625, 329);

    struct ButtonSpec {
        const char* name;
        const char* text;
        int left;
        int top;
    };
    static constexpr ButtonSpec kButtons[] = {
        {"AddButton", "&Add", 8, 8},          {"EditButton", "&Edit", 8, 44},
        {"CopyButton", "&Copy", 80, 8},       {"DeleteButton", "&Delete", 80, 44},
        {"SearchButton", "&Search", 160, 8},  {"EndSearchButton", "E&nd Srch", 160, 44},
        {"ReportButton", "&Reports", 240, 8}, {"ViewerButton", "&Viewer", 240, 44},
        {"HelpButton", "He&lp", 320, 8},      {"ButtonExit", "E&xit", 320, 44},
    };
    for (const ButtonSpec& def : kButtons) {
        auto* b = new QPushButton(QString::fromLatin1(def.text), client_);
        b->setObjectName(QString::fromLatin1(def.name));
        b->setGeometry(def.left, def.top, 69, 33);
        b->setAutoDefault(false);
        lettered_.push_back(b);
    }
    endSearchButton_ = lettered_[5];
    endSearchButton_->setFont(arial(15));

    speedPanel_ = new QFrame(client_);
    speedPanel_->setObjectName(QStringLiteral("SpeedPanel"));
    speedPanel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    speedPanel_->setGeometry(0, 0, kClientDesignWidth, 31);
    buildSpeedButtons();

    viewerLabel_ = new QLabel(QStringLiteral("Book Viewer"), client_);
    viewerLabel_->setObjectName(QStringLiteral("ViewerLabel"));
    viewerLabel_->setFont(arial(23, true));
    viewerLabel_->setAlignment(Qt::AlignCenter);
    viewerLabel_->setGeometry(220, 92, kViewerLabelWidth, kViewerLabelHeight);

    searchOnLabel_ = new QLabel(QStringLiteral("SEARCH ON"), client_);
    searchOnLabel_->setObjectName(QStringLiteral("SearchOnLabel"));
    searchOnLabel_->setFont(arial(18, true));
    searchOnLabel_->setTextFormat(Qt::PlainText);
    searchOnLabel_->move(12, 96);
    searchOnLabel_->adjustSize();
    searchOnLabel_->hide();

    countLabel_ = new QLabel(QStringLiteral("0"), client_);
    countLabel_->setObjectName(QStringLiteral("CountLabel"));
    count2Label_ = new QLabel(QStringLiteral("Books"), client_);
    count2Label_->setObjectName(QStringLiteral("Count2Label"));
    for (QLabel* l : {countLabel_, count2Label_}) {
        l->setFont(arial(13));
        l->setAlignment(Qt::AlignCenter);
    }
    countLabel_->setGeometry(140, 90, 57, 15);
    count2Label_->setGeometry(140, 104, 57, 15);

    navigatorLabel_ = new QLabel(QStringLiteral("Navigation Controls"), client_);
    navigatorLabel_->setObjectName(QStringLiteral("NavigatorLabel"));
    navigatorLabel_->setAlignment(Qt::AlignCenter);
    navigatorLabel_->setGeometry(420, 40, 189, 21);

    navigator_ = new DBNavigator(*ctx_.prompter, client_);
    navigator_->setObjectName(QStringLiteral("MyNavigator"));
    navigator_->setGeometry(424, 92, 200, kNavigatorHeight);
    connect(navigator_, &DBNavigator::clicked, this, [this] { DisplayCount(); });

    BuildViewerGrid();
    viewerGrid_->setGeometry(4, 120, 617, 293);
    // The frame goes to the back; everything else sits on it.
    viewerBevel_->lower();
    speedPanel_->raise();
    navigator_->raise();
}

void TMain::buildSpeedButtons() {
    struct SpeedSpec {
        const char* name;
        int left;
        const char* icon;
        const char* hint;
    };
    static constexpr SpeedSpec kSpeeds[] = {
        {"NewSpeed", 0, "new", "New Database"},
        {"OpenSpeed", 24, "open", "Open Database"},
        {"AddSpeed", 52, "add", "Add Record"},
        {"EditSpeed", 76, "edit", "Edit Record"},
        {"CopySpeed", 100, "copy", "Copy Record"},
        {"DeleteSpeed", 124, "delete", "Delete Record"},
        {"ImportSpeed", 148, "import", "Import Records"},
        {"ExportSpeed", 172, "export", "Export Records"},
        {"SearchSpeed", 200, "search", "Search Records"},
        {"EndSearchSpeed", 224, "endsearch", "End Search"},
        {"LocateSpeed", 248, "locate", "Locate Record"},
        {"LocateNextSpeed", 272, "locatenext", "Locate Next Record"},
        {"ReportSpeed", 296, "reports", "Reports"},
        {"ViewerSpeed", 320, "viewer", "Viewer Configuration"},
        {"ColorSpeed", 344, "color", "Color Setup"},
        {"SpeedSetOrder", 368, "sortorder", "Set Sorting Order"},
        {"HelpSpeed", 396, "help", "Help"},
    };
    for (const SpeedSpec& def : kSpeeds) {
        auto* b = new QToolButton(speedPanel_);
        b->setObjectName(QString::fromLatin1(def.name));
        b->setGeometry(def.left, 2, 25, 25);
        b->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(def.icon))));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(QString::fromLatin1(def.hint));
        b->setFocusPolicy(Qt::NoFocus);
        speedButtons_.push_back(b);
    }
    endSearchSpeed_ = speedButtons_[9];
}

// ------------------------------------------------------------------ menus

TMain::Command& TMain::command(const char* name, std::function<void()> run, bool changesData) {
    auto cmd = std::make_unique<Command>();
    cmd->name = QString::fromLatin1(name);
    cmd->run = std::move(run);
    cmd->changesData = changesData;
    commands_.push_back(std::move(cmd));
    return *commands_.back();
}

QAction* TMain::addItem(QMenu* menu, const char* objectName, const QString& text,
                        const QKeySequence& shortcut, Command* cmd) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(objectName));
    a->setShortcut(shortcut);
    if (cmd) {
        cmd->actions.push_back(a);
        connect(a, &QAction::triggered, this, [cmd] {
            if (cmd->run)
                cmd->run();
        });
    } else {
        a->setEnabled(false); // its feature is still to come
    }
    return a;
}

void TMain::connectButton(QAbstractButton* button, Command& cmd, bool lettered) {
    (lettered ? cmd.lettered : cmd.speeds).push_back(button);
    Command* c = &cmd;
    connect(button, &QAbstractButton::clicked, this, [c] {
        if (c->run)
            c->run();
    });
}

void TMain::buildMenus() {
    const auto findButton = [this](const char* name) {
        return client_->findChild<QAbstractButton*>(QString::fromLatin1(name));
    };
    const auto key = [](const char* k) { return QKeySequence(QString::fromLatin1(k)); };

    Command& doNew = command("DoNew", [this] { databases_.DoNew(); });
    Command& doOpen = command("DoOpen", [this] { databases_.DoOpen(); });
    Command& update = command("UpdateDatabase", [this] { databases_.MenuUpdateDatabaseClick(); });
    Command& backup = command("DoBackup", {}, true);
    Command& restore = command("DoRestore", {}, true);
    Command& reports = command("DoReports", {});
    Command& doExit = command("DoExit", [this] { DoExit(); });
    Command& add = command(
        "DoAdd", [this] { DoAdd(); }, true);
    Command& edit = command("DoEdit", [this] { DoEdit(); });
    Command& copy = command(
        "DoCopy", [this] { DoCopy(); }, true);
    Command& del = command(
        "DoDelete", [this] { DoDelete(); }, true);
    Command& import = command("DoImport", {}, true);
    Command& exportCmd = command("DoExport", {});
    Command& search = command("DoSearch", {});
    Command& endSearch = command("DoEndSearch", [this] { DoEndSearch(); });
    Command& find = command("DoFind", {});
    Command& findNext = command("DoFindNext", {});
    Command& viewer = command(
        "DoViewer", [this] { DoViewer(); }, true);
    Command& sortOrder = command("DoSortOrder", [this] { DoSortOrder(); });
    Command& rebuild = command("MenuRebuild", [this] { MenuRebuildClick(); });
    // Packing removes deleted books for good: not while only browsing.
    Command& pack = command(
        "MenuPack", [this] { MenuPackClick(); }, true);
    Command& colors = command("Colors", [this] { DoColors(ColorConfigMode::All); });
    Command& help = command("DoHelp", [this] { DoHelp(); });
    Command& listMaintenance = command(
        "ListMaintenance", [] {}, true);
    Command& searchReplace = command("SearchAndReplace", {}, true);

    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    addItem(file, "MenuNewDatabase", QStringLiteral("&New Database"), key("Ctrl+W"), &doNew);
    addItem(file, "MenuOpenDatabase", QStringLiteral("&Open Database"), key("Ctrl+O"), &doOpen);
    addItem(file, "MenuUpdateDatabase", QStringLiteral("&Update Database"), key("Ctrl+Z"), &update);
    file->addSeparator();
    addItem(file, "MenuBackUp", QStringLiteral("&Back Up Data"), key("Ctrl+B"), &backup);
    addItem(file, "MenuRestore", QStringLiteral("&Restore Data"), key("Ctrl+Y"), &restore);
    file->addSeparator();
    addItem(file, "MenuPrint", QStringLiteral("&Print"), key("Ctrl+P"), &reports);
    file->addSeparator();
    addItem(file, "MenuExit", QStringLiteral("E&xit"), key("Ctrl+X"), &doExit);
    lastFileSeparator_ = file->addSeparator();
    lastFileSeparator_->setObjectName(QStringLiteral("MenuLastFileSeparator"));
    for (int i = 0; i < 5; ++i) {
        QAction* a = file->addAction(QStringLiteral("&%1").arg(i + 1));
        a->setObjectName(QStringLiteral("MenuLastFile%1").arg(i + 1));
        connect(a, &QAction::triggered, this, [this, i] { databases_.OpenSaveFile(i + 1); });
        menuLastFiles_[std::size_t(i)] = a;
    }

    QMenu* records = bar->addMenu(QStringLiteral("&Records"));
    records->setObjectName(QStringLiteral("MenuRecords"));
    addItem(records, "MenuAdd", QStringLiteral("&Add"), key("Ctrl+A"), &add);
    addItem(records, "MenuEdit", QStringLiteral("&Edit"), key("Ctrl+E"), &edit);
    addItem(records, "MenuCopy", QStringLiteral("&Copy"), key("Ctrl+C"), &copy);
    addItem(records, "MenuDelete", QStringLiteral("&Delete"), key("Ctrl+D"), &del);
    records->addSeparator();
    addItem(records, "MenuImport", QStringLiteral("&Import"), key("Ctrl+M"), &import);
    addItem(records, "MenuExport", QStringLiteral("E&xport"), key("Ctrl+T"), &exportCmd);

    QMenu* navigate = bar->addMenu(QStringLiteral("&Navigate"));
    navigate->setObjectName(QStringLiteral("MenuNavigate"));
    addItem(navigate, "MenuSearch", QStringLiteral("&Search (Query)"), key("Ctrl+S"), &search);
    menuEndSearch_ = addItem(navigate, "MenuEndSearch", QStringLiteral("&End Search"),
                             key("Ctrl+I"), &endSearch);
    addItem(navigate, "MenuLocate", QStringLiteral("&Locate"), key("Ctrl+L"), &find);
    addItem(navigate, "MenuLocateNext", QStringLiteral("Locate &Next"), key("Ctrl+N"), &findNext);
    addItem(navigate, "MenuReports", QStringLiteral("&Reports"), key("Ctrl+R"), &reports);
    addItem(navigate, "MenuViewer", QStringLiteral("&Viewer"), key("Ctrl+V"), &viewer);

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("MenuOptions"));
    addItem(options, "MenuSortOrder", QStringLiteral("Sort &Order"), key("Ctrl+Q"), &sortOrder);

    buildScreenSizeMenu(options);

    QMenu* access = options->addMenu(QStringLiteral("&Screen Access"));
    access->setObjectName(QStringLiteral("MenuScreenAccess"));
    static constexpr const char* kAccessNames[] = {"MenuSpeedButtons", "MenuLetteredButtons",
                                                   "MenuNoButtons"};
    static constexpr const char* kAccessTexts[] = {"&Speed Buttons", "&Lettered Buttons", "&None"};
    static constexpr const char* kAccessKeys[] = {"Ctrl+F1", "Ctrl+F2", "Ctrl+F3"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = access->addAction(QString::fromLatin1(kAccessTexts[i]));
        a->setObjectName(QString::fromLatin1(kAccessNames[i]));
        a->setShortcut(key(kAccessKeys[i]));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { SetButtonBar(i + 1); });
        screenAccess_[std::size_t(i)] = a;
    }

    QMenu* color = options->addMenu(QStringLiteral("&Color"));
    color->setObjectName(QStringLiteral("MenuColor"));
    addItem(color, "MenuMainColor", QStringLiteral("&Main Window Color"), key("Ctrl+F4"));
    addItem(color, "MenuEditColor", QStringLiteral("&Edit Window Color"), key("Ctrl+F5"));
    addItem(color, "MenuSearchColor", QStringLiteral("&Search Window Color"), key("Ctrl+F6"));
    addItem(color, "MenuReportColor", QStringLiteral("&Report Window Color"), key("Ctrl+F7"));
    addItem(color, "MenuConfigureColor", QStringLiteral("&Configure Window Color"), key("Ctrl+F8"));
    color->addSeparator();
    addItem(color, "MenuAllColor", QStringLiteral("&ALL Windows Color"), key("Ctrl+F9"));

    QMenu* lists = options->addMenu(QStringLiteral("List &Maintenance"));
    lists->setObjectName(QStringLiteral("MenuListMaintenance"));
    addListMaintenanceItems(lists, listMaintenance);

    buildFormatMenus(options);
    options->addSeparator();
    buildFontItems(options);

    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("MenuTools"));
    addItem(tools, "MenuSearchReplace", QStringLiteral("&Search and Replace"), key("Ctrl+F"),
            &searchReplace);
    addItem(tools, "MenuRebuild", QStringLiteral("&Rebuild Indexes"), {}, &rebuild);
    addItem(tools, "MenuPack", QStringLiteral("&Pack Database"), {}, &pack);

    QMenu* helpMenu = bar->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("MenuHelp"));
    addItem(helpMenu, "MenuContents", QStringLiteral("&Contents"), key("Ctrl+H"), &help);
    addItem(helpMenu, "MenuTips", QStringLiteral("&Review \"Tips of the Day\""));
    addItem(helpMenu, "MenuAbout", QStringLiteral("&About"));

    // The lettered buttons and the speed buttons run the same commands.
    const std::pair<const char*, Command*> kLettered[] = {
        {"AddButton", &add},        {"EditButton", &edit},     {"CopyButton", &copy},
        {"DeleteButton", &del},     {"SearchButton", &search}, {"EndSearchButton", &endSearch},
        {"ReportButton", &reports}, {"ViewerButton", &viewer}, {"HelpButton", &help},
        {"ButtonExit", &doExit}};
    for (const auto& [name, cmd] : kLettered)
        connectButton(findButton(name), *cmd, true);
    const std::pair<const char*, Command*> kSpeeds[] = {
        {"NewSpeed", &doNew},           {"OpenSpeed", &doOpen},      {"AddSpeed", &add},
        {"EditSpeed", &edit},           {"CopySpeed", &copy},        {"DeleteSpeed", &del},
        {"ImportSpeed", &import},       {"ExportSpeed", &exportCmd}, {"SearchSpeed", &search},
        {"EndSearchSpeed", &endSearch}, {"LocateSpeed", &find},      {"LocateNextSpeed", &findNext},
        {"ReportSpeed", &reports},      {"ViewerSpeed", &viewer},    {"ColorSpeed", &colors},
        {"SpeedSetOrder", &sortOrder},  {"HelpSpeed", &help}};
    for (const auto& [name, cmd] : kSpeeds)
        connectButton(findButton(name), *cmd, false);
}

// ------------------------------------------------------- command states

bool TMain::commandEnabled(const Command& cmd) const {
    return cmd.run && !(ctx_.browseMode && cmd.changesData);
}

// Menu items and speed buttons follow their command; End Search also the
// search state. The lettered buttons follow the button bar.
void TMain::updateCommandStates() {
    const bool lettered = buttonBarMode(ctx_.global.buttonBar) == LetteredButtons;
    for (const auto& cmd : commands_) {
        const bool on = commandEnabled(*cmd);
        const bool isEndSearch = cmd->name == QLatin1String("DoEndSearch");
        for (QAction* a : cmd->actions)
            a->setEnabled(on && (!isEndSearch || ctx_.SearchOn));
        for (QAbstractButton* b : cmd->speeds)
            b->setEnabled(on && (!isEndSearch || ctx_.SearchOn));
        // Lettered End Search: enabled with the bar whatever the search
        // state, then following it (EnableEndSearch, DisableEndSearch).
        if (!isEndSearch)
            for (QAbstractButton* b : cmd->lettered)
                b->setEnabled(on && lettered);
    }
}

void TMain::DisableEndSearch() {
    ctx_.SearchOn = false;
    endSearchButton_->setEnabled(false);
    menuEndSearch_->setEnabled(false);
    endSearchSpeed_->setEnabled(false);
    searchOnLabel_->hide();
    if (ctx_.MyTable)
        ctx_.MyTable->setFilter(
            [ctx = &ctx_](const db::RecordView& r) { return ctx->MyTableFilter(r); });
}

void TMain::EnableEndSearch() {
    ctx_.SearchOn = true;
    endSearchButton_->setEnabled(true);
    menuEndSearch_->setEnabled(true);
    endSearchSpeed_->setEnabled(true);
    searchOnLabel_->show();
    // A new filter object makes the table count and list its rows afresh.
    if (ctx_.MyTable)
        ctx_.MyTable->setFilter(
            [ctx = &ctx_](const db::RecordView& r) { return ctx->MyTableFilter(r); });
}

void TMain::DoEndSearch() {
    DisableEndSearch();
    databases_.openMyTable(ctx_.MyTable ? ctx_.MyTable->mode() : db::OpenMode::Shared);
    SetViewerOptions();
    DisplayCount();
}

// ----------------------------------------------------------------- layout

void TMain::SetButtonBar(int mode) {
    const ButtonBarMode m = buttonBarMode(mode);
    ctx_.global.buttonBar = m;
    for (int i = 0; i < 3; ++i)
        screenAccess_[std::size_t(i)]->setChecked(i + 1 == m);

    const bool lettered = m == LetteredButtons;
    for (QFrame* b : bevels_)
        b->setVisible(lettered);
    for (QPushButton* b : lettered_)
        b->setVisible(lettered);
    endSearchButton_->setEnabled(lettered);
    speedPanel_->setVisible(m == SpeedButtons);
    speedPanel_->setEnabled(m == SpeedButtons);
    navigatorLabel_->setVisible(lettered);
    updateCommandStates();
    applyLayout();
}

void TMain::applyLayout() {
    const ButtonBarLayout l =
        buttonBarLayout(buttonBarMode(ctx_.global.buttonBar), client_->width(), client_->height(),
                        viewerLabel_->width());
    const auto place = [](QWidget* w, const Span& s) {
        w->setGeometry(s.left, s.top, s.width, s.height);
    };
    speedPanel_->setGeometry(0, 0, client_->width(), 31);
    navigatorLabel_->move(navigatorLabel_->x(), l.navigatorLabelTop);
    place(navigator_, l.navigator);
    searchOnLabel_->move(searchOnLabel_->x(), l.searchOnTop);
    countLabel_->move(countLabel_->x(), l.countTop);
    count2Label_->move(count2Label_->x(), l.count2Top);
    place(viewerBevel_, l.viewerBevel);
    place(viewerLabel_, l.viewerLabel);
    place(viewerGrid_, l.viewerGrid);
}

void TMain::FormResize() {
    applyLayout();
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

// --------------------------------------------------------- record commands

void TMain::DoAdd() {
    ctx_.EditMode = 1;
    if (showEditForm)
        showEditForm();
    DisplayCount();
}

void TMain::DoEdit() {
    ctx_.EditMode = 2;
    if (showEditForm)
        showEditForm();
    DisplayCount();
}

void TMain::DoCopy() {
    ctx_.EditMode = 3;
    if (showEditForm)
        showEditForm();
    DisplayCount();
}

void TMain::DoDelete() {
    if (ctx_.prompter->confirm(QStringLiteral("Confirm"), QStringLiteral("Delete this record?")) ==
            Button::Yes &&
        ctx_.MyTable && ctx_.MyTable->recno() != 0) {
        try {
            ctx_.MyTable->deleteRecord();
        } catch (const db::DatabaseError& e) {
            showError(*ctx_.prompter, e);
        }
    }
    DisplayCount();
}

void TMain::DoExit() {
    close();
}

void TMain::DisplayCount() {
    std::uint32_t count = 0;
    if (ctx_.MyTable) {
        try {
            count = ctx_.MyTable->recordCount();
        } catch (const db::DatabaseError& e) {
            showError(*ctx_.prompter, e);
        }
    }
    countLabel_->setText(QString::number(count));
}

// ------------------------------------------------- the record edit form

void TMain::CreateEditForm() {
    if (!myEdit_) {
        myEdit_ = new edit::TMyEdit(ctx_, this);
        showEditForm = [this] { myEdit_->exec(); };
        connect(myEdit_, &edit::TMyEdit::listsShown, viewerGrid_,
                &viewer::ViewerGrid::setDataLists);
        connect(myEdit_, &edit::TMyEdit::gridListEntryAdded, viewerGrid_,
                &viewer::ViewerGrid::addToDropDownList);
    } else {
        myEdit_->LoadAllList();
    }
    viewerGrid_->setDataLists(ctx_.lists);
}

void TMain::addListMaintenanceItems(QMenu* lists, Command& maintenance) {
    maintenance.actions.push_back(lists->menuAction());
    Command& saveDefaults = command(
        "SaveDefaults",
        [this] {
            if (myEdit_)
                myEdit_->MenuSaveDefaultsClick();
        },
        true);
    Command& loadDefaults = command(
        "LoadDefaults",
        [this] {
            if (myEdit_)
                myEdit_->MenuLoadDefaultsClick();
        },
        true);
    addItem(lists, "MenuSaveDefaults", QStringLiteral("&Save As Defaults"), {}, &saveDefaults);
    addItem(lists, "MenuLoadDefaults", QStringLiteral("Load In &Defaults"), {}, &loadDefaults);
    lists->addSeparator();
    // The menu lists Book Type before Rating.
    for (const int n : {1, 2, 3, 4, 5, 7, 6, 8, 9}) {
        const db::DataListInfo& info = db::dataListTable()[std::size_t(n - 1)];
        const QByteArray name = QStringLiteral("MenuList%1")
                                    .arg(QLatin1String(info.captionName))
                                    .remove(' ')
                                    .toLatin1();
        Command& cmd = command(
            name.constData(), [this, n] { EditAList(n); }, true);
        addItem(lists, name.constData(), QString::fromLatin1(info.menuItem), {}, &cmd);
    }
}

void TMain::EditAList(int number) {
    if (myEdit_)
        myEdit_->EditAList(number);
}

// ------------------------------------------------------------ the viewer

void TMain::BuildViewerGrid() {
    viewerGrid_ = new viewer::ViewerGrid(client_);
    viewerGrid_->setDisplayFormats(&ctx_.formats);
    viewerGrid_->setPrompter(ctx_.prompter);
    connect(viewerGrid_, &viewer::ViewerGrid::rowDoubleClicked, this, [this] { DoEdit(); });
    connect(viewerGrid_, &viewer::ViewerGrid::listValueEntered, this,
            [this](int list, const QString& text) {
                // Kept at once, as the edit form keeps what it adds.
                QStringList& entries = ctx_.lists[std::size_t(list - 1)];
                if (db::AddToList(entries, text) && !ctx_.current.base.isEmpty())
                    db::SaveList(ctx_.current.list(list), entries);
            });
}

void TMain::detachGrid() {
    viewerGrid_->setTable(nullptr);
}

void TMain::attachGrid() {
    viewerGrid_->setDataLists(ctx_.lists);
    viewerGrid_->setTable(ctx_.MyTable.get());
}

void TMain::SetViewerOptions() {
    attachGrid();
    viewerGrid_->SetViewerOptions(ctx_.database);
    navigator_->setTable(ctx_.MyTable.get());
}

void TMain::tableClosing() {
    detachGrid();
    navigator_->setTable(nullptr);
}

void TMain::DoFileSpecific() {
    ApplyFonts();
    SetViewerOptions();
    SetColors();
    DisplayCount();
}

void TMain::setCaption(const QString& caption) {
    setWindowTitle(caption);
}

void TMain::SetMenuLastFiles() {
    const db::RecentList::Menu menu = ctx_.recent.SetMenuLastFiles();
    lastFileSeparator_->setVisible(menu.separatorVisible);
    for (std::size_t i = 0; i < menuLastFiles_.size(); ++i) {
        menuLastFiles_[i]->setVisible(menu.items[i].visible);
        if (menu.items[i].visible)
            menuLastFiles_[i]->setText(menu.items[i].caption);
    }
}

// ------------------------------------------------------ start and stop

void TMain::applyBrowseMode() {
    if (!ctx_.browseMode)
        return;
    updateCommandStates();
    navigator_->setBrowseOnly(true);
    // The settings just read remembered "Field Editing" and switched it off.
}

bool TMain::FormCreate() {
    AllocateCurrentReport();
    DisableEndSearch();
    setWindowTitle(QLatin1String(kProductName));
    viewerLabel_->setText(QStringLiteral("Book Viewer"));

    // The data and config directories; a new data directory gets the
    // default lists. Failures here surface as MASTER.DBF not being made.
    ctx_.paths.makeDirectories();
    seedDataDirectory(ctx_.paths.dataDir);
    applyLayout();
    EnsureReportFile();

    ctx_.global = GlobalSettings::load(ctx_.paths.globalSettingsFile(), ctx_.paths.startDir);
    ctx_.recent = db::RecentList(ctx_.global.lastFiles);
    // The position is the frame's, the size the window's own, both ways.
    move(ctx_.global.mainWindowLeft, ctx_.global.mainWindowTop);
    resize(ctx_.global.mainWindowWidth, ctx_.global.mainWindowHeight);

    applyStoredFormats(ctx_);
    tickFormatItems();

    if (!databases_.openAtStartup())
        return false;
    // The record edit form loads the lists of the database just opened.
    CreateEditForm();

    SetButtonBar(ctx_.global.buttonBar);
    ApplyScreenSize();
    ctx_.formats.setIntl(db::IntlValues::fromLocale());
    SetMenuLastFiles();
    OfferConversion();
    CreateLocate();
    applyBrowseMode();
    return true;
}

void TMain::FormShow() {
    DoFileSpecific();
}

void TMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

bool TMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !activated_) {
        activated_ = true;
        navigator_->setTable(ctx_.MyTable.get());
        if (ctx_.global.showTips)
            ShowTipsOnce();
    }
    return QMainWindow::event(event);
}

void TMain::FormClose() {
    ctx_.SearchOn = false;
    ctx_.global.mainWindowLeft = x();
    ctx_.global.mainWindowTop = y();
    ctx_.global.mainWindowWidth = width();
    ctx_.global.mainWindowHeight = height();
    ctx_.global.lastDatabase = ctx_.current.current;
    ctx_.global.lastFiles = ctx_.recent.entries();
    // Browse mode writes the database's own "Field Editing" (settingsToWrite).
    ctx_.global.save(ctx_.paths.globalSettingsFile());
    databases_.writeDatabaseSettings();
}

void TMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

} // namespace shelvix::app
