#pragma once

#include "app/appcontext.h"
#include "app/buttonbar.h"
#include "app/colors.h"
#include "app/databases.h"
#include "app/maintenance.h"

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class QAbstractButton;
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

namespace shelvix::app {

class DBNavigator;

// The main window: the open database in the viewer grid, the record count,
// the navigator, one of three command bars, and every command's menu item.
class TMain : public QMainWindow, public DatabaseView {
    Q_OBJECT
public:
    explicit TMain(AppContext& context, QWidget* parent = nullptr);
    ~TMain() override;

    // Start-up: settings, the database, the layout. False when there is no
    // database and none could be made: the program ends with exit code 0.
    bool FormCreate();

    Databases& databases() { return databases_; }
    QWidget* clientArea() const { return client_; }
    viewer::ViewerGrid* viewerGrid() const { return viewerGrid_; }
    DBNavigator* navigator() const { return navigator_; }

    // Record commands.
    void DoAdd();
    void DoEdit();
    void DoCopy();
    void DoDelete();
    void DoExit();

    // The search state.
    void DisableEndSearch();
    void EnableEndSearch() override;
    void DoEndSearch() override;

    void SetButtonBar(int mode);
    void FormResize();

    // The main window's colours from the Main set; the colour dialog for
    // one group (or all of them, ColorConfigMode::All).
    void SetColors();
    void DoColors(ColorConfigMode mode);
    void DoHelp();

    // The viewer configuration, the sort order, pack and rebuild
    // (tmain_maintenance.cpp).
    void DoViewer();
    void DoSortOrder();
    void MenuPackClick();
    void MenuRebuildClick();

    // DatabaseView
    void setCaption(const QString& caption) override;
    void tableClosing() override;
    void DoFileSpecific() override;
    void SetMenuLastFiles() override;
    void DisplayCount() override;
    void SetViewerOptions() override;

    // Shows the record edit form for the EditMode just set; until the form
    // is there, nothing.
    std::function<void()> showEditForm;
    // The record edit form, made at start-up once the database is open.
    edit::TMyEdit* editForm() const { return myEdit_; }

    // Whether the first activation may show the tip of the day (while "Show
    // Tips" is on); main() allows it, a window made without it never does.
    bool startupTipAllowed = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Command;

    void buildControls();
    void buildSpeedButtons();
    void buildMenus();
    Command& command(const char* name, std::function<void()> run, bool changesData = false);
    QAction* addItem(QMenu* menu, const char* objectName, const QString& text,
                     const QKeySequence& shortcut = {}, Command* cmd = nullptr);
    void connectButton(QAbstractButton* button, Command& cmd, bool lettered);
    bool commandEnabled(const Command& cmd) const;
    void updateCommandStates();
    void applyLayout();
    void applyBrowseMode();
    void tickFormatItems();

    // Options menu: screen sizes, display formats and the three fonts.
    void buildScreenSizeMenu(QMenu* options);
    void buildFormatMenus(QMenu* options);
    void buildFontItems(QMenu* options);
    void tickScreenSize();
    void chooseScreenSize(int size);
    void dateFormatClick(int number);
    void MenuDateLeadingZerosClick();
    void currencyClick(int style);
    void numericClick(int style);
    void chooseFont(FontSpec& font);
    void FormShow();
    void FormClose();

    // The viewer grid on MyTable.
    void BuildViewerGrid();
    void attachGrid();
    void detachGrid();

    // The record edit form and the "List Maintenance" commands.
    void CreateEditForm();
    void addListMaintenanceItems(QMenu* lists, Command& maintenance);
    void EditAList(int number);

    // Steps of start-up that belong to features still to come.
    void AllocateCurrentReport() {}
    void EnsureReportFile() {}
    void ApplyScreenSize();
    void OfferConversion() {}
    void CreateLocate() {}
    void ApplyFonts();

    // Colours, tips, help and About (tmain_colorshelp.cpp).
    void connectColorAndHelpCommands();
    void ShowTipsOnce();
    void ShowTips();
    void ShowAbout();

    AppContext& ctx_;
    Databases databases_;
    Maintenance maintenance_;
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

    QAction* menuEndSearch_ = nullptr;
    QAction* lastFileSeparator_ = nullptr;
    std::array<QAction*, 5> menuLastFiles_{};
    std::array<QAction*, 3> screenAccess_{};
    std::array<QAction*, 4> screenSizeItems_{};
    std::vector<QAction*> formatItems_;
    std::vector<std::unique_ptr<Command>> commands_;
};

} // namespace shelvix::app
