#include "app/settings.h"
#include "core/profile.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <regex>

using namespace shelvix::app;
using shelvix::core::Profile;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

std::vector<std::string> sectionsOf(const std::string& text) {
    std::vector<std::string> names;
    std::regex header(R"(^\[([^\]]*)\]\r?$)", std::regex::multiline);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), header);
         it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

} // namespace

TEST(GlobalSettings, DefaultsReadingRulesAndRoundTrip) {
    TempDir dir;
    auto ini = dir / "SHVBOOK.INI";
    GlobalSettings none = GlobalSettings::load(q(ini), "/home/me");
    EXPECT_EQ(none, GlobalSettings::defaults("/home/me"));
    EXPECT_EQ(none.lastImportFile, "/home/me");
    EXPECT_EQ(none.lastExportFile, "/home/me");
    EXPECT_EQ(none.mainWindowWidth, 640);
    EXPECT_TRUE(none.showTips);
    EXPECT_TRUE(none.lastDatabase.isEmpty());

    writeFile(ini, "[Misc]\nShow Tips=yES\nButton Bar=$3\nWindow Size=800x\n"
                   "Date Leading Zeros=1\n");
    GlobalSettings g = GlobalSettings::load(q(ini), "/start");
    EXPECT_TRUE(g.showTips);
    EXPECT_EQ(g.buttonBar, 3);
    EXPECT_EQ(g.windowSize, 800);
    EXPECT_FALSE(g.dateLeadingZeros);
    writeFile(ini, "[Misc]\nShow Tips=True\n");
    EXPECT_FALSE(GlobalSettings::load(q(ini), "/start").showTips);

    g.showTips = false;
    g.mainWindowLeft = -8;
    g.lastDatabase = QString::fromUtf8("/home/me/Bücher/MASTER.DBF");
    g.lastFiles[0] = QString::fromUtf8("/home/me/Книги/A.DBF"); // no Windows-1252 for this
    g.lastFiles[4] = "/tmp/E.DBF";
    g.dateFormat = 12;
    g.currencyFormat = 2;
    ASSERT_TRUE(g.save(q(ini)));
    std::string text = readFile(ini);
    EXPECT_NE(text.find("Last Database=/home/me/B\xFC"
                        "cher/MASTER.DBF\n"),
              std::string::npos);
    EXPECT_NE(text.find("Last File 1=/home/me/\xD0\x9A"), std::string::npos);
    EXPECT_NE(text.find("Show Tips=No\n"), std::string::npos);
    EXPECT_NE(text.find("Main Window Left=-8\n"), std::string::npos);
    EXPECT_EQ(GlobalSettings::load(q(ini), "/start"), g);
}

TEST(GlobalSettings, SavingKeepsTheDatabaseSectionsOfTheSameFile) {
    TempDir dir;
    auto ini = dir / "SHVBOOK.INI";
    writeFile(ini, "; shared defaults for databases without their own file\n"
                   "[Sort Order]\nPrimary Sort=1\n"
                   "[Misc]\nButton Bar=2\nUnknown Key=kept\n");
    GlobalSettings g = GlobalSettings::load(q(ini), "/s");
    g.buttonBar = 3;
    ASSERT_TRUE(g.save(q(ini)));
    std::string text = readFile(ini);
    EXPECT_EQ(text.rfind("; shared defaults for databases without their own file\n\n"
                         "[Sort Order]\nPrimary Sort=1\n\n[Misc]\nButton Bar=3\nUnknown Key=kept\n"
                         "Main Window Left=0\n",
                         0),
              0u)
        << text;
}

TEST(DatabaseSettings, MissingFileFallsBackToGlobalFileThenDefaults) {
    TempDir dir;
    auto global = dir / "SHVBOOK.INI";
    writeFile(global, "[Misc]\nButton Bar=2\n"
                      "[Sort Order]\nPrimary Sort=1\nSecondary Sort=9\n"
                      "[Field Names]\nTitle=Book Title\n"
                      "[Edit Window Color]\nMain Background=255\n");
    DatabaseSettings s = DatabaseSettings::load(q(dir / "BOOKS.INI"), q(global));
    EXPECT_EQ(s.sortOrder, (std::array<int, 4>{1, 9, 0, 0}));
    EXPECT_EQ(s.fieldNames[0], "Book Title");
    EXPECT_EQ(s.fieldNames[1], "Author");
    EXPECT_EQ(s.colors[ColorsEdit][ColorMainBackground], 255);
    EXPECT_EQ(s.colors[ColorsEdit][ColorEditBackground], 16777215);
    EXPECT_EQ(s.colors[ColorsMain], defaultColorSet());

    // A database with its own file never looks at the global one.
    writeFile(dir / "BOOKS.INI", "[Grid Options]\nField Editing=Yes\n");
    DatabaseSettings own = DatabaseSettings::load(q(dir / "BOOKS.INI"), q(global));
    EXPECT_EQ(own.sortOrder[0], 2);
    EXPECT_TRUE(own.fieldEditing);

    // A new database starts from SHVINV.INI when there is one.
    auto inv = dir / "SHVINV.INI";
    EXPECT_EQ(DatabaseSettings::loadForNewDatabase(q(inv), q(global)).sortOrder[0], 1);
    writeFile(inv, "[Sort Order]\nPrimary Sort=5\n");
    EXPECT_EQ(DatabaseSettings::loadForNewDatabase(q(inv), q(global)).sortOrder,
              (std::array<int, 4>{5, 0, 0, 0}));

    // Nothing anywhere: every default.
    EXPECT_EQ(DatabaseSettings::load(q(dir / "X.INI"), q(dir / "NONE.INI")), DatabaseSettings());
}

TEST(DatabaseSettings, WritesEverySectionInOrder) {
    Profile ini;
    DatabaseSettings().write(ini);
    std::string text = ini.text();
    EXPECT_EQ(sectionsOf(text), (std::vector<std::string>{"Field Names",
                                                          "Display Fields",
                                                          "Field Width",
                                                          "Field Order",
                                                          "Export Fields",
                                                          "Export Order",
                                                          "Export",
                                                          "Import",
                                                          "Sort Order",
                                                          "Main Window Color",
                                                          "Edit Window Color",
                                                          "Search Window Color",
                                                          "Report Window Color",
                                                          "Configure Window Color",
                                                          "Grid Title",
                                                          "Grid Title Font",
                                                          "Grid Font",
                                                          "Grid Options",
                                                          "Edit Font",
                                                          "Label Font",
                                                          "Button Font",
                                                          "Reports"}));
    auto has = [&](const std::string& block) {
        EXPECT_NE(text.find(block), std::string::npos) << block;
    };
    has("[Field Names]\nTitle=Title\nAuthor=Author\nYearPub=Year Pub\n");
    has("UserDef6=User Defined 6\n\n[Display Fields]\nTitle=Yes\n");
    has("[Field Order]\nTitle=1\nAuthor=2\n");
    has("[Export]\nFirst Row=Yes\nFile Type=1\n\n[Import]\nSkip First=Yes\nFile Type=1\n");
    has("[Sort Order]\nPrimary Sort=2\nSecondary Sort=0\nThird Level Sort=0\n"
        "Fourth Level Sort=0\n");
    has("[Main Window Color]\nMain Background=12632256\nMajor Title=0\nMinor Title=0\n"
        "Edit Background=16777215\nEdit Text=0\nCombo Background=16777215\nCombo Text=0\n"
        "List Box Background=16777215\nList Box Text=0\nRadio Background=12632256\n"
        "Radio Text=0\nCheck Background=12632256\nCheck Text=0\n");
    has("[Grid Title]\nShow Titles=Yes\nBackground Color=8553090\nAlignment=2\n");
    has("[Grid Title Font]\nColor=0\nFont Name=Arial\nSize=12\nBold=No\nItalic=No\n"
        "Underline=No\nStrikeout=No\n");
    has("[Grid Options]\nCell Color=12632256\nColumn Lines=Yes\nRow Lines=Yes\n"
        "Row Indicator=Yes\nField Editing=No\n");
    has("[Edit Font]\nFont Name=Arial\nBold=No\nItalic=No\n\n[Label Font]");
    has("[Reports]\nLast Report=0\nDefault Printer=Yes\nPrinter Index=0\n"
        "Report Viewing Window Left=0\nReport Viewing Window Top=0\n"
        "Report Viewing Window Width=640\nReport Viewing Window Height=480\n");
}

TEST(DatabaseSettings, RoundTripNamesAndLostCharacters) {
    TempDir dir;
    auto path = dir / "BOOKS.INI";
    DatabaseSettings s;
    s.fieldNames[8] = QString::fromUtf8("Résumé");
    s.fieldNames[9] = QString::fromUtf8("Номер"); // not Windows-1252
    s.displayFields[3] = false;
    s.fieldWidth[0] = 40;
    s.exportOrder = {};
    s.sortOrder = {4, 1, 0, 0};
    s.colors[ColorsReport][ColorMajorTitle] = 255;
    s.gridFont = {128, "Liberation Serif", 11, true, false, true, false};
    s.labelFont.italic = true;
    s.reportWindowHeight = 700;
    QStringList lossy;
    ASSERT_TRUE(s.save(q(path), nullptr, &lossy));
    EXPECT_EQ(lossy, QStringList{"Field Names/ISBN"});
    EXPECT_NE(readFile(path).find("Descriptio=R\xE9sum\xE9\n"), std::string::npos);

    DatabaseSettings back = DatabaseSettings::load(q(path), q(dir / "SHVBOOK.INI"));
    EXPECT_EQ(back.fieldNames[9], "?????");
    back.fieldNames[9] = s.fieldNames[9];
    EXPECT_EQ(back, s);

    // Names are read up to 150 characters and 20 of them kept.
    writeFile(path, "[Field Names]\nTitle=  A very long name for the title field\n");
    EXPECT_EQ(DatabaseSettings::load(q(path), "").fieldNames[0], "A very long name for");
}

TEST(DatabaseSettings, FontSectionAddsStylesAndKeepsWhatItLacks) {
    Profile ini = Profile::fromText("[Grid Font]\nFont Name=Courier New\nSize=14\nBold=No\n"
                                    "Italic=yes\n"
                                    "[Edit Font]\nFont Name=Liberation Sans\nSize=30\nColor=255\n"
                                    "Bold=Yes\nUnderline=Yes\n");
    FontSpec grid{77, "Arial", 10, true, false, false, true};
    readFontSection(ini, "Grid Font", FontKeys::Full, grid);
    EXPECT_EQ(grid, (FontSpec{77, "Courier New", 14, true, true, false, true}));

    FontSpec edit{5, "Arial", 9, false, false, false, false};
    readFontSection(ini, "Edit Font", FontKeys::NameAndStyle, edit);
    EXPECT_EQ(edit, (FontSpec{5, "Liberation Sans", 9, true, false, false, false}));

    Profile out;
    writeFontSection(out, "Edit Font", FontKeys::NameAndStyle, edit);
    EXPECT_EQ(out.text(), "[Edit Font]\nFont Name=Liberation Sans\nBold=Yes\nItalic=No\n");

    // Reading a whole database starts from plain fonts: its file decides.
    DatabaseSettings s = DatabaseSettings::read(ini);
    EXPECT_FALSE(s.gridFont.bold);
    EXPECT_TRUE(s.gridFont.italic);
    EXPECT_EQ(s.gridTitleFont.size, 12);
}
