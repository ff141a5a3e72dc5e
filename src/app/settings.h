#pragma once

#include "db/settings.h"

#include <QString>
#include <QStringList>
#include <array>

namespace shelvix::core {
class Profile;
}

namespace shelvix::app {

// A database's own settings are read and written with its files; the
// application shows and edits them under these names.
using db::ColorSet;
using db::DatabaseSettings;
using db::FontKeys;
using db::FontSpec;
using db::PerField;
using enum db::ColorElement;
using enum db::ColorSetIndex;
using db::ColorElement;
using db::ColorSetIndex;
using db::defaultColorSet;
using db::kColorKeys;
using db::kColorSections;
using db::readColorSet;
using db::readFontSection;
using db::writeColorSet;
using db::writeFontSection;

// Section "Misc" of SHVBOOK.INI, read at start-up and written at close.
struct GlobalSettings {
    int buttonBar = 1; // 1 speed buttons, 2 lettered buttons, 3 none
    int mainWindowLeft = 0;
    int mainWindowTop = 0;
    int mainWindowWidth = 640;
    int mainWindowHeight = 480;
    QString lastImportFile; // default: the start directory
    QString lastExportFile; // default: the start directory
    QString lastDatabase;
    std::array<QString, 5> lastFiles; // recent databases, most recent first
    bool showTips = true;
    int windowSize = 640;
    int dateFormat = 1;
    bool dateLeadingZeros = false;
    int currencyFormat = 1; // 1 U.S., 2 Windows
    int numericFormat = 1;  // 1 U.S., 2 Windows
    // Options > "Warn About Duplicate ISBNs": the edit form asks before it
    // adds a book whose ISBN the catalogue holds already.
    bool warnDuplicateIsbns = true;

    static GlobalSettings defaults(const QString& startDir);
    // Missing keys (or file) take the defaults.
    static GlobalSettings read(const core::Profile& ini, const QString& startDir);
    // Writes every key in the order above. Returns the keys ("Misc/Last
    // Database") whose text had characters Windows-1252 cannot hold.
    QStringList write(core::Profile& ini) const;

    static GlobalSettings load(const QString& file, const QString& startDir);
    // Updates section "Misc" of `file`, keeping the rest of it.
    bool save(const QString& file, QString* error = nullptr) const;

    bool operator==(const GlobalSettings&) const = default;
};

} // namespace shelvix::app
