#pragma once

#include "db/engine/file.h"
#include "db/fieldtable.h"

#include <QString>
#include <QStringList>
#include <array>

namespace shelvix::core {
class Profile;
}

namespace shelvix::db {

// Settings texts are Windows-1252; paths are kept as textcodec.h describes.
// A text write that loses characters adds "Section/Key" to `lossy`.
QString readText(const core::Profile& ini, const char* section, const char* key, const QString& def,
                 std::size_t maxLength);
void writeText(core::Profile& ini, const char* section, const char* key, const QString& text,
               QStringList* lossy);
QString readPath(const core::Profile& ini, const char* section, const char* key,
                 const QString& def);
void writePath(core::Profile& ini, const char* section, const char* key, const QString& path);

// A font as the settings hold it; the forms turn it into a QFont.
struct FontSpec {
    int color = 0; // Windows colour 0x00BBGGRR
    QString name = QStringLiteral("Arial");
    int size = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;

    bool operator==(const FontSpec&) const = default;
};

// Which keys a font section has: the grid fonts keep everything, the label,
// edit and button fonts only their name, bold and italic.
enum class FontKeys { Full, NameAndStyle };

// Sets the colour, name and size the section has (a missing key leaves the
// font's own) and ADDS each style whose key reads Yes; a style that reads No
// is left as the font had it.
void readFontSection(const core::Profile& ini, const char* section, FontKeys keys, FontSpec& font);
void writeFontSection(core::Profile& ini, const char* section, FontKeys keys, const FontSpec& font,
                      QStringList* lossy = nullptr);

enum ColorElement {
    ColorMainBackground,
    ColorMajorTitle,
    ColorMinorTitle,
    ColorEditBackground,
    ColorEditText,
    ColorComboBackground,
    ColorComboText,
    ColorListBoxBackground,
    ColorListBoxText,
    ColorRadioBackground,
    ColorRadioText,
    ColorCheckBackground,
    ColorCheckText,
    ColorElementCount
};

// Thirteen Windows colours (0x00BBGGRR), indexed by ColorElement.
using ColorSet = std::array<int, ColorElementCount>;

// Index of a window group's set in DatabaseSettings::colors (the forms name
// them by a scoped ColorGroup).
enum ColorSetIndex {
    ColorsMain,
    ColorsEdit,
    ColorsSearch,
    ColorsReport,
    ColorsConfigure,
    ColorGroupCount
};

inline constexpr std::array<const char*, ColorElementCount> kColorKeys = {
    "Main Background", "Major Title",      "Minor Title", "Edit Background",
    "Edit Text",       "Combo Background", "Combo Text",  "List Box Background",
    "List Box Text",   "Radio Background", "Radio Text",  "Check Background",
    "Check Text"};
inline constexpr std::array<const char*, ColorGroupCount> kColorSections = {
    "Main Window Color", "Edit Window Color", "Search Window Color", "Report Window Color",
    "Configure Window Color"};
ColorSet defaultColorSet();

ColorSet readColorSet(const core::Profile& ini, const char* section);
void writeColorSet(core::Profile& ini, const char* section, const ColorSet& colors);

template <class T> using PerField = std::array<T, db::kFieldCount>; // index = field number - 1

// The settings kept per database in its .INI, in reading and writing order.
struct DatabaseSettings {
    PerField<QString> fieldNames; // user-visible names, at most 20 characters
    PerField<bool> displayFields;
    PerField<int> fieldWidth;
    PerField<int> fieldOrder;
    PerField<bool> exportFields;
    PerField<int> exportOrder;

    bool exportFirstRow = true;
    int exportFileType = 1;
    bool importSkipFirst = true;
    int importFileType = 1;

    std::array<int, 4> sortOrder{field::Author, 0, 0, 0}; // field numbers, 0 for none

    std::array<ColorSet, ColorGroupCount> colors;

    bool gridShowTitles = true;
    int gridTitleBackground = 8553090; // grey 130,130,130
    int gridTitleAlignment = 2;        // 1 left, 2 centred, 3 right
    FontSpec gridTitleFont{0, QStringLiteral("Arial"), 12};
    FontSpec gridFont{0, QStringLiteral("Arial"), 10};

    int gridCellColor = 12632256; // silver 192,192,192
    bool columnLines = true;
    bool rowLines = true;
    bool rowIndicator = true;
    bool fieldEditing = false;

    FontSpec editFont;
    FontSpec labelFont;
    FontSpec buttonFont;

    int lastReport = 0;
    bool defaultPrinter = true;
    int printerIndex = 0;
    int reportWindowLeft = 0;
    int reportWindowTop = 0;
    int reportWindowWidth = 640;
    int reportWindowHeight = 480;

    DatabaseSettings(); // every default

    // Reads every key; missing keys take the defaults. The fonts start from
    // the defaults too, so a style never carries over from the database read
    // before.
    static DatabaseSettings read(const core::Profile& ini);
    // Writes every section and key in order; returns the keys whose text had
    // characters Windows-1252 cannot hold.
    QStringList write(core::Profile& ini) const;

    // An existing database: its own settings file, or the per-database
    // sections of SHVBOOK.INI when that file does not exist.
    static DatabaseSettings load(const QString& databaseIni, const QString& globalIni);
    // A new database: SHVINV.INI, or SHVBOOK.INI when there is no SHVINV.INI.
    static DatabaseSettings loadForNewDatabase(const QString& newDatabaseIni,
                                               const QString& globalIni);
    // Writes to the database's settings file, keeping whatever else it holds.
    bool save(const QString& databaseIni, QString* error = nullptr, QStringList* lossy = nullptr,
              FileSystem& fs = FileSystem::native()) const;

    bool operator==(const DatabaseSettings&) const = default;
};

} // namespace shelvix::db
