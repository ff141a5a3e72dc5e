#include "db/settings.h"

#include "core/profile.h"
#include "core/text.h"
#include "db/engine/replacingfile.h"
#include "db/textcodec.h"

#include <QFileInfo>

namespace shelvix::db {

namespace {

// Paths are not cut at the old 250 characters: a longer Linux path would
// come back as a different, missing file.
constexpr std::size_t kPathLength = 4096;
constexpr std::size_t kNameLength = 150;
constexpr std::size_t kFieldNameKept = 20;
constexpr std::size_t kFields = db::kFieldCount;

const char* fieldKey(std::size_t index) {
    return db::fieldTable()[index].name;
}

} // namespace

QString readPath(const core::Profile& ini, const char* section, const char* key,
                 const QString& def) {
    std::string raw = ini.readString(section, key, encodePath(def), kPathLength);
    return decodePath(raw);
}

void writePath(core::Profile& ini, const char* section, const char* key, const QString& path) {
    ini.writeString(section, key, encodePath(path));
}

QString readText(const core::Profile& ini, const char* section, const char* key, const QString& def,
                 std::size_t maxLength) {
    return fromWindows1252(ini.readString(section, key, toWindows1252(def), maxLength));
}

void writeText(core::Profile& ini, const char* section, const char* key, const QString& text,
               QStringList* lossy) {
    int lost = 0;
    ini.writeString(section, key, toWindows1252(text, &lost));
    if (lost > 0 && lossy)
        lossy->append(QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key));
}

// ---------------------------------------------------------------- fonts

void readFontSection(const core::Profile& ini, const char* section, FontKeys keys, FontSpec& font) {
    bool full = keys == FontKeys::Full;
    if (full)
        font.color = ini.readInt(section, "Color", font.color);
    font.name = readText(ini, section, "Font Name", font.name, kNameLength);
    if (full)
        font.size = ini.readInt(section, "Size", font.size);
    font.bold = font.bold || ini.readBool(section, "Bold", false);
    font.italic = font.italic || ini.readBool(section, "Italic", false);
    if (full) {
        font.underline = font.underline || ini.readBool(section, "Underline", false);
        font.strikeout = font.strikeout || ini.readBool(section, "Strikeout", false);
    }
}

void writeFontSection(core::Profile& ini, const char* section, FontKeys keys, const FontSpec& font,
                      QStringList* lossy) {
    bool full = keys == FontKeys::Full;
    if (full)
        ini.writeInt(section, "Color", font.color);
    writeText(ini, section, "Font Name", font.name, lossy);
    if (full)
        ini.writeInt(section, "Size", font.size);
    ini.writeBool(section, "Bold", font.bold);
    ini.writeBool(section, "Italic", font.italic);
    if (full) {
        ini.writeBool(section, "Underline", font.underline);
        ini.writeBool(section, "Strikeout", font.strikeout);
    }
}

// ---------------------------------------------------------------- colours

ColorSet defaultColorSet() {
    constexpr int grey = 12632256; // 192,192,192
    constexpr int white = 16777215;
    constexpr int black = 0;
    return {grey, black, black, white, black, white, black, white, black, grey, black, grey, black};
}

ColorSet readColorSet(const core::Profile& ini, const char* section) {
    ColorSet colors = defaultColorSet();
    for (std::size_t i = 0; i < colors.size(); ++i)
        colors[i] = ini.readInt(section, kColorKeys[i], colors[i]);
    return colors;
}

void writeColorSet(core::Profile& ini, const char* section, const ColorSet& colors) {
    for (std::size_t i = 0; i < colors.size(); ++i)
        ini.writeInt(section, kColorKeys[i], colors[i]);
}

// ---------------------------------------------------------------- per database

DatabaseSettings::DatabaseSettings() {
    for (std::size_t i = 0; i < kFields; ++i) {
        fieldNames[i] = QString::fromLatin1(db::fieldTable()[i].label);
        displayFields[i] = true;
        fieldWidth[i] = 15;
        fieldOrder[i] = static_cast<int>(i) + 1;
        exportFields[i] = true;
        exportOrder[i] = static_cast<int>(i) + 1;
    }
    colors.fill(defaultColorSet());
}

DatabaseSettings DatabaseSettings::read(const core::Profile& ini) {
    DatabaseSettings s;
    for (std::size_t i = 0; i < kFields; ++i) {
        std::string name =
            ini.readString("Field Names", fieldKey(i), toWindows1252(s.fieldNames[i]), kNameLength);
        s.fieldNames[i] = fromWindows1252(core::trimCut(name, kFieldNameKept));
    }
    for (std::size_t i = 0; i < kFields; ++i)
        s.displayFields[i] = ini.readBool("Display Fields", fieldKey(i), s.displayFields[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        s.fieldWidth[i] = ini.readInt("Field Width", fieldKey(i), s.fieldWidth[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        s.fieldOrder[i] = ini.readInt("Field Order", fieldKey(i), s.fieldOrder[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        s.exportFields[i] = ini.readBool("Export Fields", fieldKey(i), s.exportFields[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        s.exportOrder[i] = ini.readInt("Export Order", fieldKey(i), s.exportOrder[i]);

    s.exportFirstRow = ini.readBool("Export", "First Row", s.exportFirstRow);
    s.exportFileType = ini.readInt("Export", "File Type", s.exportFileType);
    s.importSkipFirst = ini.readBool("Import", "Skip First", s.importSkipFirst);
    s.importFileType = ini.readInt("Import", "File Type", s.importFileType);

    s.sortOrder[0] = ini.readInt("Sort Order", "Primary Sort", s.sortOrder[0]);
    s.sortOrder[1] = ini.readInt("Sort Order", "Secondary Sort", s.sortOrder[1]);
    s.sortOrder[2] = ini.readInt("Sort Order", "Third Level Sort", s.sortOrder[2]);
    s.sortOrder[3] = ini.readInt("Sort Order", "Fourth Level Sort", s.sortOrder[3]);

    for (std::size_t g = 0; g < s.colors.size(); ++g)
        s.colors[g] = readColorSet(ini, kColorSections[g]);

    s.gridShowTitles = ini.readBool("Grid Title", "Show Titles", s.gridShowTitles);
    s.gridTitleBackground = ini.readInt("Grid Title", "Background Color", s.gridTitleBackground);
    s.gridTitleAlignment = ini.readInt("Grid Title", "Alignment", s.gridTitleAlignment);
    readFontSection(ini, "Grid Title Font", FontKeys::Full, s.gridTitleFont);
    readFontSection(ini, "Grid Font", FontKeys::Full, s.gridFont);

    s.gridCellColor = ini.readInt("Grid Options", "Cell Color", s.gridCellColor);
    s.columnLines = ini.readBool("Grid Options", "Column Lines", s.columnLines);
    s.rowLines = ini.readBool("Grid Options", "Row Lines", s.rowLines);
    s.rowIndicator = ini.readBool("Grid Options", "Row Indicator", s.rowIndicator);
    s.fieldEditing = ini.readBool("Grid Options", "Field Editing", s.fieldEditing);

    readFontSection(ini, "Edit Font", FontKeys::NameAndStyle, s.editFont);
    readFontSection(ini, "Label Font", FontKeys::NameAndStyle, s.labelFont);
    readFontSection(ini, "Button Font", FontKeys::NameAndStyle, s.buttonFont);

    s.lastReport = ini.readInt("Reports", "Last Report", s.lastReport);
    s.defaultPrinter = ini.readBool("Reports", "Default Printer", s.defaultPrinter);
    s.printerIndex = ini.readInt("Reports", "Printer Index", s.printerIndex);
    s.reportWindowLeft = ini.readInt("Reports", "Report Viewing Window Left", s.reportWindowLeft);
    s.reportWindowTop = ini.readInt("Reports", "Report Viewing Window Top", s.reportWindowTop);
    s.reportWindowWidth =
        ini.readInt("Reports", "Report Viewing Window Width", s.reportWindowWidth);
    s.reportWindowHeight =
        ini.readInt("Reports", "Report Viewing Window Height", s.reportWindowHeight);
    return s;
}

QStringList DatabaseSettings::write(core::Profile& ini) const {
    QStringList lossy;
    for (std::size_t i = 0; i < kFields; ++i)
        writeText(ini, "Field Names", fieldKey(i), fieldNames[i], &lossy);
    for (std::size_t i = 0; i < kFields; ++i)
        ini.writeBool("Display Fields", fieldKey(i), displayFields[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        ini.writeInt("Field Width", fieldKey(i), fieldWidth[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        ini.writeInt("Field Order", fieldKey(i), fieldOrder[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        ini.writeBool("Export Fields", fieldKey(i), exportFields[i]);
    for (std::size_t i = 0; i < kFields; ++i)
        ini.writeInt("Export Order", fieldKey(i), exportOrder[i]);

    ini.writeBool("Export", "First Row", exportFirstRow);
    ini.writeInt("Export", "File Type", exportFileType);
    ini.writeBool("Import", "Skip First", importSkipFirst);
    ini.writeInt("Import", "File Type", importFileType);

    ini.writeInt("Sort Order", "Primary Sort", sortOrder[0]);
    ini.writeInt("Sort Order", "Secondary Sort", sortOrder[1]);
    ini.writeInt("Sort Order", "Third Level Sort", sortOrder[2]);
    ini.writeInt("Sort Order", "Fourth Level Sort", sortOrder[3]);

    for (std::size_t g = 0; g < colors.size(); ++g)
        writeColorSet(ini, kColorSections[g], colors[g]);

    ini.writeBool("Grid Title", "Show Titles", gridShowTitles);
    ini.writeInt("Grid Title", "Background Color", gridTitleBackground);
    ini.writeInt("Grid Title", "Alignment", gridTitleAlignment);
    writeFontSection(ini, "Grid Title Font", FontKeys::Full, gridTitleFont, &lossy);
    writeFontSection(ini, "Grid Font", FontKeys::Full, gridFont, &lossy);

    ini.writeInt("Grid Options", "Cell Color", gridCellColor);
    ini.writeBool("Grid Options", "Column Lines", columnLines);
    ini.writeBool("Grid Options", "Row Lines", rowLines);
    ini.writeBool("Grid Options", "Row Indicator", rowIndicator);
    ini.writeBool("Grid Options", "Field Editing", fieldEditing);

    writeFontSection(ini, "Edit Font", FontKeys::NameAndStyle, editFont, &lossy);
    writeFontSection(ini, "Label Font", FontKeys::NameAndStyle, labelFont, &lossy);
    writeFontSection(ini, "Button Font", FontKeys::NameAndStyle, buttonFont, &lossy);

    ini.writeInt("Reports", "Last Report", lastReport);
    ini.writeBool("Reports", "Default Printer", defaultPrinter);
    ini.writeInt("Reports", "Printer Index", printerIndex);
    ini.writeInt("Reports", "Report Viewing Window Left", reportWindowLeft);
    ini.writeInt("Reports", "Report Viewing Window Top", reportWindowTop);
    ini.writeInt("Reports", "Report Viewing Window Width", reportWindowWidth);
    ini.writeInt("Reports", "Report Viewing Window Height", reportWindowHeight);
    return lossy;
}

DatabaseSettings DatabaseSettings::load(const QString& databaseIni, const QString& globalIni) {
    const QString& file = QFileInfo::exists(databaseIni) ? databaseIni : globalIni;
    return read(core::Profile::load(file.toStdString()));
}

DatabaseSettings DatabaseSettings::loadForNewDatabase(const QString& newDatabaseIni,
                                                      const QString& globalIni) {
    return load(newDatabaseIni, globalIni);
}

bool DatabaseSettings::save(const QString& databaseIni, QString* error, QStringList* lossy,
                            FileSystem& fs) const {
    core::Profile ini = core::Profile::load(databaseIni.toStdString());
    QStringList lost = write(ini);
    if (lossy)
        *lossy = lost;
    std::string why;
    if (saveProfile(ini, &why, fs))
        return true;
    if (error)
        *error = QString::fromStdString(why);
    return false;
}

} // namespace shelvix::db
