#include "app/settings.h"

#include "core/profile.h"
#include "db/engine/replacingfile.h"

namespace shelvix::app {

namespace {

const char* const kMisc = "Misc";
const char* const kWarnDuplicateIsbns = "Warn About Duplicate ISBNs";

std::string lastFileKey(std::size_t i) {
    return "Last File " + std::to_string(i + 1);
}

} // namespace

GlobalSettings GlobalSettings::defaults(const QString& startDir) {
    GlobalSettings g;
    g.lastImportFile = startDir;
    g.lastExportFile = startDir;
    return g;
}

GlobalSettings GlobalSettings::read(const core::Profile& ini, const QString& startDir) {
    GlobalSettings g = defaults(startDir);
    g.buttonBar = ini.readInt(kMisc, "Button Bar", g.buttonBar);
    g.mainWindowLeft = ini.readInt(kMisc, "Main Window Left", g.mainWindowLeft);
    g.mainWindowTop = ini.readInt(kMisc, "Main Window Top", g.mainWindowTop);
    g.mainWindowWidth = ini.readInt(kMisc, "Main Window Width", g.mainWindowWidth);
    g.mainWindowHeight = ini.readInt(kMisc, "Main Window Height", g.mainWindowHeight);
    g.lastImportFile = db::readPath(ini, kMisc, "Last Import File", g.lastImportFile);
    g.lastExportFile = db::readPath(ini, kMisc, "Last Export File", g.lastExportFile);
    g.lastDatabase = db::readPath(ini, kMisc, "Last Database", g.lastDatabase);
    for (std::size_t i = 0; i < g.lastFiles.size(); ++i)
        g.lastFiles[i] = db::readPath(ini, kMisc, lastFileKey(i).c_str(), QString());
    g.showTips = ini.readBool(kMisc, "Show Tips", g.showTips);
    g.windowSize = ini.readInt(kMisc, "Window Size", g.windowSize);
    g.dateFormat = ini.readInt(kMisc, "Date Format", g.dateFormat);
    g.dateLeadingZeros = ini.readBool(kMisc, "Date Leading Zeros", g.dateLeadingZeros);
    g.currencyFormat = ini.readInt(kMisc, "Currency Format", g.currencyFormat);
    g.numericFormat = ini.readInt(kMisc, "Numeric Format", g.numericFormat);
    g.warnDuplicateIsbns = ini.readBool(kMisc, kWarnDuplicateIsbns, g.warnDuplicateIsbns);
    return g;
}

QStringList GlobalSettings::write(core::Profile& ini) const {
    ini.writeInt(kMisc, "Button Bar", buttonBar);
    ini.writeInt(kMisc, "Main Window Left", mainWindowLeft);
    ini.writeInt(kMisc, "Main Window Top", mainWindowTop);
    ini.writeInt(kMisc, "Main Window Width", mainWindowWidth);
    ini.writeInt(kMisc, "Main Window Height", mainWindowHeight);
    db::writePath(ini, kMisc, "Last Import File", lastImportFile);
    db::writePath(ini, kMisc, "Last Export File", lastExportFile);
    db::writePath(ini, kMisc, "Last Database", lastDatabase);
    for (std::size_t i = 0; i < lastFiles.size(); ++i)
        db::writePath(ini, kMisc, lastFileKey(i).c_str(), lastFiles[i]);
    ini.writeBool(kMisc, "Show Tips", showTips);
    ini.writeInt(kMisc, "Window Size", windowSize);
    ini.writeInt(kMisc, "Date Format", dateFormat);
    ini.writeBool(kMisc, "Date Leading Zeros", dateLeadingZeros);
    ini.writeInt(kMisc, "Currency Format", currencyFormat);
    ini.writeInt(kMisc, "Numeric Format", numericFormat);
    ini.writeBool(kMisc, kWarnDuplicateIsbns, warnDuplicateIsbns);
    return {}; // paths fall back to UTF-8, so nothing here can lose characters
}

GlobalSettings GlobalSettings::load(const QString& file, const QString& startDir) {
    return read(core::Profile::load(file.toStdString()), startDir);
}

bool GlobalSettings::save(const QString& file, QString* error) const {
    core::Profile ini = core::Profile::load(file.toStdString());
    write(ini);
    std::string why;
    if (db::saveProfile(ini, &why))
        return true;
    if (error)
        *error = QString::fromStdString(why);
    return false;
}

} // namespace shelvix::app
