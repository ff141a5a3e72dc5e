#pragma once

#include <QKeySequence>
#include <QString>
#include <array>
#include <functional>
#include <vector>

class QAbstractButton;
class QAction;
class QMenu;
class QObject;

namespace shelvix::shell {

// Every command of the main window, once.
enum class Cmd {
    New,
    Open,
    Update,
    Backup,
    Restore,
    Reports,
    Exit,
    Add,
    Edit,
    Copy,
    Delete,
    Import,
    Export,
    Search,
    EndSearch,
    Find,
    FindNext,
    Viewer,
    SortOrder,
    Colors,
    MainColor,
    EditColor,
    SearchColor,
    ReportColor,
    ConfigureColor,
    AllColor,
    ListMaintenance,
    SaveDefaults,
    LoadDefaults,
    EditList,
    SearchReplace,
    Rebuild,
    Pack,
    Help,
    Tips,
    About,
    Count
};

// The commands of a window and the menu items and buttons that offer them:
// each command runs the same thing from every place, and is enabled in all
// of them together. A command without a run is a feature still to come and
// stays disabled.
class CommandSet {
public:
    enum Flag {
        Plain = 0,
        ChangesData = 1,   // barred in browse mode
        FollowsSearch = 2, // only while a search is on (End Search)
    };

    explicit CommandSet(QObject* owner) : owner_(owner) {}

    void define(Cmd id, std::function<void()> run) { define(id, Plain, std::move(run)); }
    void define(Cmd id, int flags, std::function<void()> run);
    // A menu item for the command; `argument` tells the items of one command
    // apart (the list numbers of EditList).
    QAction* item(QMenu* menu, const char* objectName, const QString& text, Cmd id,
                  const QKeySequence& shortcut = {}, int argument = 0);
    // A menu that stands for the command as a whole (enabled with it).
    void menu(QMenu* menu, Cmd id);
    void button(QAbstractButton* button, Cmd id, bool lettered);

    // The argument of the item being run (EditList's list number).
    int argument() const { return argument_; }

    // Menu items and speed buttons follow their command (End Search also
    // the search); lettered buttons follow the button bar, and the lettered
    // End Search is left to the search state.
    void update(bool browseMode, bool letteredBar, bool searchOn);

private:
    struct Command {
        std::function<void()> run;
        int flags = Plain;
        std::vector<QAction*> actions;
        std::vector<QAbstractButton*> speeds;
        std::vector<QAbstractButton*> lettered;
    };
    Command& at(Cmd id) { return commands_[std::size_t(id)]; }
    void run(Cmd id, int argument);

    QObject* owner_;
    std::array<Command, std::size_t(Cmd::Count)> commands_{};
    int argument_ = 0;
};

} // namespace shelvix::shell
