#pragma once

#include "app/appcontext.h"

#include <QString>
#include <optional>

namespace shelvix::app {

// What the database commands ask of the main window.
class DatabaseView {
public:
    virtual ~DatabaseView() = default;
    virtual void setCaption(const QString& caption) = 0;
    // MyTable is about to be closed: let go of it.
    virtual void tableClosing() = 0;
    // Fonts, viewer options, colours and the record count of the database.
    virtual void DoFileSpecific() = 0;
    virtual void SetMenuLastFiles() = 0;
    virtual void DisplayCount() = 0;
    // The viewer grid on the (re)opened table.
    virtual void SetViewerOptions() = 0;
    virtual void DoEndSearch() = 0;
    virtual void EnableEndSearch() = 0;
};

QString mainCaption(const QString& tableName); // "Shelvix Books 97 (NAME)"

// Creating, opening, checking and switching databases, for the main window.
class Databases {
public:
    Databases(AppContext& context, DatabaseView& view) : ctx_(context), view_(view) {}

    // Has the file the book table's structure? A missing .MDX has its header
    // mark cleared first. Shows the structure message, or the engine's
    // message for a file it cannot open, and answers false.
    bool CheckDBaseFormat(const QString& path);
    // Does another user hold the table (an exclusive open is refused)?
    static bool DBaseInUse(const QString& path);
    // Creates an empty book table, unless another program has the file.
    bool MakeNewDB(const QString& path);

    enum class SwitchKind {
        Existing,
        New,         // default lists, SHVINV.INI, no in-use test
        FirstChoice, // at start-up: nothing open before to save
    };
    void switchTo(const QString& path, SwitchKind kind);

    void DoOpen();
    void DoNew();
    void OpenSaveFile(int entry); // 1 to 5
    void MenuUpdateDatabaseClick();

    // Start-up: the database named on the command line when it passes the
    // checks of File > Open (a refused one is said so, as Open says it),
    // else the last database, else MASTER.DBF (created when missing).
    // False when there is none and none can be created, or when the last one
    // is not a book database and the user cancels the choice of another:
    // the program ends.
    bool openAtStartup();

    // MyTable opened on the current database in the sort tag, with the filter.
    // Engine failures are shown; MyTable then stays closed.
    bool openMyTable(db::OpenMode mode = db::OpenMode::Shared);
    void closeMyTable();

    // The per-database settings into the current settings file. False (with
    // nothing shown) when it cannot be written.
    bool writeDatabaseSettings();

private:
    std::optional<QString> chooseDatabase(bool forNew);
    void setCurrentPaths(const QString& path);
    void openFirstChoice(const QString& path);
    bool openNamedAtStartup(const QString& path);
    void openWithSortTag();
    // Puts right what a book database about to be opened cannot open with:
    // temporaries that stopped work left, an index that cannot be read.
    // Says what was done in one message.
    void mendBeforeOpening(const QString& path);
    // At start-up: the temporaries that stopped work left of the program's
    // own files (report definitions, default lists, settings), said.
    void removeProgramLeftovers();
    // mendBeforeOpening, then CheckDBaseFormat.
    bool mendAndCheck(const QString& path);
    enum class Chosen { Cancelled, Refused, Opened };
    Chosen openChosen(SwitchKind kind);
    void showEngineError(const std::exception& e);

    AppContext& ctx_;
    DatabaseView& view_;
};

// "Database Files (*.DBF)" with its name test: the last four characters,
// in capitals, are ".DBF".
bool hasDatabaseExtension(const QString& path);

} // namespace shelvix::app
