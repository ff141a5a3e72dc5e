#include "shell/forms/tmain.h"

#include "app/appinfo.h"
#include "app/forms/controls.h"
#include "app/forms/menukeys.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "db/fieldtable.h"
#include "edit/forms/tmyedit.h"
#include "find/forms/tmylocate.h"
#include "find/forms/tmysearch.h"
#include "find/forms/tsearchandreplace.h"
#include "reports/forms/tmyreport.h"
#include "reports/reportdefinition.h"
#include "shell/datadir.h"
#include "shell/formatmenu.h"
#include "shell/forms/dbnavigator.h"
#include "shell/forms/savedsearchmenu.h"
#include "viewer/forms/viewergrid.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace shelvix::shell {

TMain::TMain(app::AppContext& context, QWidget* parent)
    : QMainWindow(parent), ctx_(context), databases_(context, *this), records_(context, *this),
      maintenance_(context, databases_, *this), dialogs_(context, maintenance_, *this, this),
      search_(context, databases_, *this),
      transfer_(context, search_.bracket(), this, [this] { DisplayCount(); }),
      backup_(context, databases_, *this, this), commands_(this) {
    setObjectName(QStringLiteral("TMain"));
    dialogs_.mainColorsChanged = [this] { SetColors(); };
    backup_.host().reloadLists = [this] { CreateEditForm(); };
    backup_.host().reloadReports = [this] { myReport_ ? myReport_->LoadReportBox() : void(); };
    defineCommands();
    buildControls();
    buildMenus();
    new SavedSearchMenu(ctx_, search_, *this, findChild<QMenu*>(QStringLiteral("MenuNavigate")),
                        findChild<QMenu*>(QStringLiteral("MenuOptions")), this);
    updateCommandStates();
    app::giveMenuKeysPrecedence(this);
    app::installWindowKeys();

    // A catalogue left alone for a while has its index mark taken off, so
    // that a power cut then costs no rebuild at the next open.
    auto* settle = new QTimer(this);
    settle->setObjectName(QStringLiteral("SettleTimer"));
    connect(settle, &QTimer::timeout, this, [this] {
        try {
            if (ctx_.MyTable)
                ctx_.MyTable->settle();
        } catch (const std::exception&) {
            // The mark stays: the next open builds the index again.
        }
    });
    settle->start(kSettleMs);
}

// Each command once, calling the object of its subsystem; a command left
// out here is a feature still to come, disabled wherever it is offered.
void TMain::defineCommands() {
    using F = CommandSet::Flag;
    CommandSet& c = commands_;
    c.define(Cmd::New, [this] { databases_.DoNew(); });
    c.define(Cmd::Open, [this] { databases_.DoOpen(); });
    c.define(Cmd::Update, [this] { databases_.MenuUpdateDatabaseClick(); });
    c.define(Cmd::Exit, [this] { close(); });
    c.define(Cmd::Add, F::ChangesData, [this] { records_.DoAdd(); });
    c.define(Cmd::Edit, [this] { records_.DoEdit(); });
    c.define(Cmd::Copy, F::ChangesData, [this] { records_.DoCopy(); });
    c.define(Cmd::Delete, F::ChangesData, [this] { records_.DoDelete(); });
    c.define(Cmd::Search, [this] { search_.DoSearch(); });
    c.define(Cmd::Reports, [this] { myReport_ ? myReport_->DoReports() : void(); });
    c.define(Cmd::Import, F::ChangesData, [this] { transfer_.DoImport(); });
    c.define(Cmd::Export, [this] { transfer_.DoExport(); });
    c.define(Cmd::Backup, F::ChangesData, [this] { backup_.DoBackup(); });
    c.define(Cmd::Restore, F::ChangesData, [this] { backup_.DoRestore(); });
    c.define(Cmd::EndSearch, F::FollowsSearch, [this] { DoEndSearch(); });
    c.define(Cmd::Find, [this] { locate_ ? void(locate_->Execute()) : void(); });
    c.define(Cmd::FindNext, [this] { locate_ ? void(locate_->FindNext()) : void(); });
    c.define(Cmd::Viewer, F::ChangesData, [this] { dialogs_.DoViewer(); });
    c.define(Cmd::SortOrder, [this] { dialogs_.DoSortOrder(); });
    c.define(Cmd::Colors, [this] { dialogs_.DoColors(app::ColorConfigMode::All); });
    c.define(Cmd::MainColor, [this] { dialogs_.DoColors(app::ColorConfigMode::Main); });
    c.define(Cmd::EditColor, [this] { dialogs_.DoColors(app::ColorConfigMode::Edit); });
    c.define(Cmd::SearchColor, [this] { dialogs_.DoColors(app::ColorConfigMode::Search); });
    c.define(Cmd::ReportColor, [this] { dialogs_.DoColors(app::ColorConfigMode::Report); });
    c.define(Cmd::ConfigureColor, [this] { dialogs_.DoColors(app::ColorConfigMode::Configure); });
    c.define(Cmd::AllColor, [this] { dialogs_.DoColors(app::ColorConfigMode::All); });
    c.define(Cmd::ListMaintenance, F::ChangesData, [] {});
    c.define(Cmd::SaveDefaults, F::ChangesData,
             [this] { myEdit_ ? myEdit_->MenuSaveDefaultsClick() : void(); });
    c.define(Cmd::LoadDefaults, F::ChangesData,
             [this] { myEdit_ ? myEdit_->MenuLoadDefaultsClick() : void(); });
    c.define(Cmd::EditList, F::ChangesData,
             [this] { myEdit_ ? myEdit_->EditAList(commands_.argument()) : void(); });
    c.define(Cmd::SearchReplace, F::ChangesData,
             [this] { find::TSearchAndReplace::execute(ctx_, databases_, search_, *this, this); });
    c.define(Cmd::Rebuild, [this] { maintenance_.rebuildIndexes(); });
    // Packing removes deleted books for good: not while only browsing.
    c.define(Cmd::Pack, F::ChangesData, [this] { maintenance_.packDatabase(); });
    c.define(Cmd::Help, [this] { dialogs_.DoHelp(); });
    c.define(Cmd::Tips, [this] { dialogs_.ShowTips(); });
    c.define(Cmd::About, [this] { dialogs_.ShowAbout(); });
}

TMain::~TMain() {
    detachGrid();
    navigator_->setTable(nullptr);
}

// ------------------------------------------------------------------ menus

void TMain::buildMenus() {
    const auto key = [](const char* k) { return QKeySequence(QString::fromLatin1(k)); };
    CommandSet& c = commands_;

    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    c.item(file, "MenuNewDatabase", QStringLiteral("&New Database"), Cmd::New, key("Ctrl+W"));
    c.item(file, "MenuOpenDatabase", QStringLiteral("&Open Database"), Cmd::Open, key("Ctrl+O"));
    c.item(file, "MenuUpdateDatabase", QStringLiteral("&Update Database"), Cmd::Update,
           key("Ctrl+Z"));
    file->addSeparator();
    c.item(file, "MenuBackUp", QStringLiteral("&Back Up Data"), Cmd::Backup, key("Ctrl+B"));
    c.item(file, "MenuRestore", QStringLiteral("&Restore Data"), Cmd::Restore, key("Ctrl+Y"));
    file->addSeparator();
    c.item(file, "MenuPrint", QStringLiteral("&Print"), Cmd::Reports, key("Ctrl+P"));
    file->addSeparator();
    c.item(file, "MenuExit", QStringLiteral("E&xit"), Cmd::Exit, key("Ctrl+X"));
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
    c.item(records, "MenuAdd", QStringLiteral("&Add"), Cmd::Add, key("Ctrl+A"));
    c.item(records, "MenuEdit", QStringLiteral("&Edit"), Cmd::Edit, key("Ctrl+E"));
    c.item(records, "MenuCopy", QStringLiteral("&Copy"), Cmd::Copy, key("Ctrl+C"));
    c.item(records, "MenuDelete", QStringLiteral("&Delete"), Cmd::Delete, key("Ctrl+D"));
    records->addSeparator();
    c.item(records, "MenuImport", QStringLiteral("&Import"), Cmd::Import, key("Ctrl+M"));
    c.item(records, "MenuExport", QStringLiteral("E&xport"), Cmd::Export, key("Ctrl+T"));

    QMenu* navigate = bar->addMenu(QStringLiteral("&Navigate"));
    navigate->setObjectName(QStringLiteral("MenuNavigate"));
    c.item(navigate, "MenuSearch", QStringLiteral("&Search (Query)"), Cmd::Search, key("Ctrl+S"));
    menuEndSearch_ = c.item(navigate, "MenuEndSearch", QStringLiteral("&End Search"),
                            Cmd::EndSearch, key("Ctrl+I"));
    c.item(navigate, "MenuLocate", QStringLiteral("&Locate"), Cmd::Find, key("Ctrl+L"));
    c.item(navigate, "MenuLocateNext", QStringLiteral("Locate &Next"), Cmd::FindNext,
           key("Ctrl+N"));
    c.item(navigate, "MenuReports", QStringLiteral("&Reports"), Cmd::Reports, key("Ctrl+R"));
    c.item(navigate, "MenuViewer", QStringLiteral("&Viewer"), Cmd::Viewer, key("Ctrl+V"));

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("MenuOptions"));
    c.item(options, "MenuSortOrder", QStringLiteral("Sort &Order"), Cmd::SortOrder, key("Ctrl+Q"));

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
    c.item(color, "MenuMainColor", QStringLiteral("&Main Window Color"), Cmd::MainColor,
           key("Ctrl+F4"));
    c.item(color, "MenuEditColor", QStringLiteral("&Edit Window Color"), Cmd::EditColor,
           key("Ctrl+F5"));
    c.item(color, "MenuSearchColor", QStringLiteral("&Search Window Color"), Cmd::SearchColor,
           key("Ctrl+F6"));
    c.item(color, "MenuReportColor", QStringLiteral("&Report Window Color"), Cmd::ReportColor,
           key("Ctrl+F7"));
    c.item(color, "MenuConfigureColor", QStringLiteral("&Configure Window Color"),
           Cmd::ConfigureColor, key("Ctrl+F8"));
    color->addSeparator();
    c.item(color, "MenuAllColor", QStringLiteral("&ALL Windows Color"), Cmd::AllColor,
           key("Ctrl+F9"));

    QMenu* lists = options->addMenu(QStringLiteral("List &Maintenance"));
    lists->setObjectName(QStringLiteral("MenuListMaintenance"));
    addListMaintenanceItems(lists);

    buildFormatMenus(options);
    options->addSeparator();
    buildFontItems(options);
    buildDuplicateIsbnItem(options);

    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("MenuTools"));
    c.item(tools, "MenuSearchReplace", QStringLiteral("&Search and Replace"), Cmd::SearchReplace,
           key("Ctrl+F"));
    c.item(tools, "MenuRebuild", QStringLiteral("&Rebuild Indexes"), Cmd::Rebuild);
    c.item(tools, "MenuPack", QStringLiteral("&Pack Database"), Cmd::Pack);

    QMenu* helpMenu = bar->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("MenuHelp"));
    c.item(helpMenu, "MenuContents", QStringLiteral("&Contents"), Cmd::Help, key("Ctrl+H"))
        ->setShortcuts({key("Ctrl+H"), key("F1")});
    c.item(helpMenu, "MenuTips", QStringLiteral("&Review \"Tips of the Day\""), Cmd::Tips);
    c.item(helpMenu, "MenuAbout", QStringLiteral("&About"), Cmd::About);
}

// ------------------------------------------------------- command states

void TMain::updateCommandStates() {
    commands_.update(ctx_.browseMode, buttonBarMode(ctx_.global.buttonBar) == LetteredButtons,
                     ctx_.SearchOn);
}

void TMain::DisableEndSearch() {
    search_.DisableEndSearch();
}

void TMain::EnableEndSearch() {
    search_.EnableEndSearch();
}

void TMain::DoEndSearch() {
    search_.DoEndSearch();
}

void TMain::showSearchOn(bool on) {
    endSearchButton_->setEnabled(on);
    menuEndSearch_->setEnabled(on);
    endSearchSpeed_->setEnabled(on);
    searchOnLabel_->setVisible(on);
}

void TMain::showSearchWindow() {
    if (mySearch_)
        mySearch_->exec();
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
    const ButtonBarMode mode = buttonBarMode(ctx_.global.buttonBar);
    // The window never gets too narrow for the whole navigator.
    client_->setMinimumWidth(buttonBarLayout(mode, 0, 0).minimumClientWidth);
    const ButtonBarLayout l =
        buttonBarLayout(mode, client_->width(), client_->height(), viewerLabel_->width());
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

void TMain::DisplayCount() {
    std::uint32_t count = 0;
    if (ctx_.MyTable) {
        try {
            count = ctx_.MyTable->recordCount();
        } catch (const db::DatabaseError& e) {
            app::showError(*ctx_.prompter, e);
        }
    }
    countLabel_->setText(QString::number(count));
}

// ------------------------------------------------- the record edit form

void TMain::CreateEditForm() {
    if (!myEdit_) {
        myEdit_ = new edit::TMyEdit(ctx_, this);
        records_.showEditForm = [this] { myEdit_->exec(); };
        connect(myEdit_, &edit::TMyEdit::listsShown, viewerGrid_,
                &viewer::ViewerGrid::setDataLists);
        connect(myEdit_, &edit::TMyEdit::gridListEntryAdded, viewerGrid_,
                &viewer::ViewerGrid::addToDropDownList);
    } else {
        myEdit_->LoadAllList();
    }
    viewerGrid_->setDataLists(ctx_.lists);
}

void TMain::addListMaintenanceItems(QMenu* lists) {
    commands_.menu(lists, Cmd::ListMaintenance);
    commands_.item(lists, "MenuSaveDefaults", QStringLiteral("&Save As Defaults"),
                   Cmd::SaveDefaults);
    commands_.item(lists, "MenuLoadDefaults", QStringLiteral("Load In &Defaults"),
                   Cmd::LoadDefaults);
    lists->addSeparator();
    // The menu lists Book Type before Rating.
    for (const int n : {1, 2, 3, 4, 5, 7, 6, 8, 9}) {
        const db::DataListInfo& info = db::dataListTable()[std::size_t(n - 1)];
        const QByteArray name = QStringLiteral("MenuList%1")
                                    .arg(QLatin1String(info.captionName))
                                    .remove(' ')
                                    .toLatin1();
        commands_.item(lists, name.constData(), QString::fromLatin1(info.menuItem), Cmd::EditList,
                       {}, n);
    }
}

// ------------------------------------------------------------ the viewer

void TMain::BuildViewerGrid() {
    viewerGrid_ = new viewer::ViewerGrid(client_);
    app::controls::letTabLeave(viewerGrid_);
    viewerGrid_->setDisplayFormats(&ctx_.formats);
    viewerGrid_->setPrompter(ctx_.prompter);
    connect(viewerGrid_, &viewer::ViewerGrid::rowDoubleClicked, this,
            [this] { records_.DoEdit(); });
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
    // The options before the rows: on a grid already holding a large table,
    // the row height and the columns would each lay out every row again.
    viewerGrid_->SetViewerOptions(ctx_.database);
    attachGrid();
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
    DisableEndSearch();
    setWindowTitle(QLatin1String(app::kProductName));
    viewerLabel_->setText(QStringLiteral("Book Viewer"));

    // The data and config directories. Failures here surface as MASTER.DBF
    // not being made.
    ctx_.paths.makeDirectories();
    applyLayout();

    ctx_.global = app::GlobalSettings::load(ctx_.paths.globalSettingsFile(), ctx_.paths.startDir);
    ctx_.recent = db::RecentList(ctx_.global.lastFiles);
    // The position is the frame's, the size the window's own, both ways.
    move(ctx_.global.mainWindowLeft, ctx_.global.mainWindowTop);
    resize(ctx_.global.mainWindowWidth, ctx_.global.mainWindowHeight);

    applyStoredFormats(ctx_);
    tickFormatItems();

    if (!databases_.openAtStartup())
        return false; // nothing written
    // A new data directory gets the default lists and report definitions;
    // both wait for a database so that a cancelled start writes nothing.
    seedDataDirectory(ctx_.paths.dataDir);
    reports::CheckReportFile(ctx_.paths.dataDir);
    // The record edit form loads the lists of the database just opened.
    CreateEditForm();
    backup_.CheckForConversion();
    if (!mySearch_)
        mySearch_ = new find::TMySearch(ctx_, search_, this);
    if (!myReport_)
        myReport_ = new reports::TMyReport(ctx_, search_.bracket(), this);
    CreateLocateDialog();

    SetButtonBar(ctx_.global.buttonBar);
    ApplyScreenSize();
    ctx_.formats.setIntl(db::IntlValues::fromLocale());
    SetMenuLastFiles();
    applyBrowseMode();
    return true;
}

void TMain::CreateLocateDialog() {
    if (locate_)
        return;
    locate_ = std::make_unique<find::TMyLocateDialog>(ctx_, this);
    locate_->Caption = QStringLiteral("Locate Field Value");
    locate_->MatchType = find::TMyLocateMatchType::mtPartialMatchStart;
    locate_->CaseSensitive = false;
    locate_->SortFields = find::TMyFieldSortType::fsSortByFieldName;
    locate_->DefaultButton = find::TMyDefaultButtonType::dbFindNext;
    locate_->FieldSelection = find::TMyFieldSelection::fsAllFields;
    locate_->ShowMessages = true;
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
    if (event->type() == QEvent::WindowActivate && ctx_.MyTable) {
        // Back to the front: what other programs added meanwhile shows.
        try {
            if (ctx_.MyTable->catchUp())
                DisplayCount();
        } catch (const db::DatabaseError& e) {
            showError(*ctx_.prompter, e);
        }
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

} // namespace shelvix::shell
