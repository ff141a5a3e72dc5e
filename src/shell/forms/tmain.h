#pragma once

#include "app/appcontext.h"
#include "app/colors.h"
#include "app/databases.h"
#include "backup/forms/backupcommands.h"
#include "find/search.h"
#include "shell/buttonbar.h"
#include "shell/forms/commandset.h"
#include "shell/forms/maindialogs.h"
#include "shell/maintenance.h"
#include "shell/records.h"
#include "transfer/forms/transfercommands.h"

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace shelvix::viewer {
class ViewerGrid;
}
namespace shelvix::edit {
class TMyEdit;
}
namespace shelvix::find {
class TMySearch;
class TMyLocateDialog;
} // namespace shelvix::find
namespace shelvix::reports {
class TMyReport;
} // namespace shelvix::reports

namespace shelvix::shell {

class DBNavigator;

// The main window: the open database in the viewer grid, the record count,
// the navigator, one of three command bars, and every command's menu item.
// Each command calls an object of its subsystem: Databases, RecordCommands,
// Maintenance, MainDialogs, the record edit form.
class TMain : public QMainWindow, public app::DatabaseView, public find::SearchView {
    Q_OBJECT
public:
    explicit TMain(app::AppContext& context, QWidget* parent = nullptr);
    ~TMain() override;

    // Start-up: settings, the database, the layout. False when there is no
    // database (none could be made, or the user cancelled the choice of
    // one): the program ends with exit code 0, having written nothing.
    bool FormCreate();

    app::Databases& databases() { return databases_; }
    RecordCommands& records() { return records_; }
    MainDialogs& dialogs() { return dialogs_; }
    QWidget* clientArea() const { return client_; }
    viewer::ViewerGrid* viewerGrid() const { return viewerGrid_; }
    DBNavigator* navigator() const { return navigator_; }
    // The record edit form, made at start-up once the database is open.
    edit::TMyEdit* editForm() const { return myEdit_; }
    find::Search& search() { return search_; }
    find::TMySearch* searchForm() const { return mySearch_; }
    reports::TMyReport* reportList() const { return myReport_; }
    // The locate component, made at start-up; it remembers the last locate.
    find::TMyLocateDialog* locateDialog() const { return locate_.get(); }

    // The search state.
    void DisableEndSearch();
    void EnableEndSearch() override;
    void DoEndSearch() override;

    void SetButtonBar(int mode);
    void FormResize();
    // The main window's colours from the Main set.
    void SetColors();

    // DatabaseView
    void setCaption(const QString& caption) override;
    void tableClosing() override;
    void DoFileSpecific() override;
    void SetMenuLastFiles() override;
    void DisplayCount() override;
    void SetViewerOptions() override;

    // SearchView
    void showSearchOn(bool on) override;
    void showSearchWindow() override;

    // What closing the window writes: the window's place, the last database
    // and the recent list, the global and the database's settings.
    void FormClose();

    // Whether the first activation may show the tip of the day (while "Show
    // Tips" is on); main() allows it, a window made without it never does.
    bool startupTipAllowed = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // How often the catalogue's index is settled while the window is open.
    static constexpr int kSettleMs = 2000;
    void defineCommands();
    void buildControls();
    void buildSpeedButtons();
    void buildMenus();
    void updateCommandStates();
    void applyLayout();
    void applyBrowseMode();
    void tickFormatItems();

    // Options menu: screen sizes, display formats and the three fonts.
    void buildScreenSizeMenu(QMenu* options);
    void buildFormatMenus(QMenu* options);
    void buildFontItems(QMenu* options);
    void buildDuplicateIsbnItem(QMenu* options);
    void tickScreenSize();
    void chooseScreenSize(int size);
    void dateFormatClick(int number);
    void MenuDateLeadingZerosClick();
    void currencyClick(int style);
    void numericClick(int style);
    void chooseFont(app::FontSpec& font);
    void FormShow();

    // The viewer grid on MyTable.
    void BuildViewerGrid();
    void attachGrid();
    void detachGrid();

    // The record edit form and the "List Maintenance" items.
    void CreateEditForm();
    void CreateLocateDialog();
    void addListMaintenanceItems(QMenu* lists);

    void ApplyScreenSize();
    void ApplyFonts();
    void ShowTipsOnce();

    app::AppContext& ctx_;
    app::Databases databases_;
    RecordCommands records_;
    Maintenance maintenance_;
    MainDialogs dialogs_;
    find::Search search_;
    transfer::TransferCommands transfer_;
    backup::BackupCommands backup_;
    CommandSet commands_;
    bool shown_ = false;
    bool activated_ = false;

    QWidget* client_ = nullptr;
    QFrame* bevels_[4] = {};
    std::vector<QPushButton*> lettered_;
    QPushButton* endSearchButton_ = nullptr;
    QFrame* speedPanel_ = nullptr;
    std::vector<QToolButton*> speedButtons_;
    QToolButton* endSearchSpeed_ = nullptr;
    QFrame* viewerBevel_ = nullptr;
    QLabel* viewerLabel_ = nullptr;
    QLabel* searchOnLabel_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QLabel* count2Label_ = nullptr;
    QLabel* navigatorLabel_ = nullptr;
    DBNavigator* navigator_ = nullptr;
    viewer::ViewerGrid* viewerGrid_ = nullptr;
    edit::TMyEdit* myEdit_ = nullptr;
    find::TMySearch* mySearch_ = nullptr;
    reports::TMyReport* myReport_ = nullptr;
    std::unique_ptr<find::TMyLocateDialog> locate_;

    QAction* menuEndSearch_ = nullptr;
    QAction* lastFileSeparator_ = nullptr;
    std::array<QAction*, 5> menuLastFiles_{};
    std::array<QAction*, 3> screenAccess_{};
    std::array<QAction*, 4> screenSizeItems_{};
    std::vector<QAction*> formatItems_;
};

} // namespace shelvix::shell
