// The program opening damaged and hostile files as its last database: every
// message it shows is one line in a real message box, it never crashes or
// hangs, and it changes no byte of what it could not read.

#include "app/forms/qtprompter.h"
#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/engine/table.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/malformed.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

using namespace shelvix;

namespace {

// Every message shown in a real box, answered with its default button.
class AnsweringPrompter final : public app::QtPrompter {
public:
    std::vector<app::Message> shown;
    std::vector<QString> boxTexts;

    app::Button message(const app::Message& message) override {
        shown.push_back(message);
        test::onNextModal([this](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                boxTexts.push_back(box->text());
            test::clickDefaultButton(w);
        });
        return QtPrompter::message(message);
    }
    std::optional<QString> chooseFile(const app::FileRequest&) override { return std::nullopt; }
};

// The program as main() starts it on `home`.
app::AppContext contextFor(const test::TempDir& home, app::Prompter& prompter) {
    app::AppContext ctx;
    const QString dir = QString::fromStdString(home.path().string());
    ctx.paths = app::AppPaths::resolve({QStringLiteral("shelvix"), QStringLiteral("--home"), dir},
                                       QProcessEnvironment(), dir);
    ctx.prompter = &prompter;
    return ctx;
}

std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file())
            out[e.path().filename().string()] = test::readFile(e.path());
    return out;
}

TEST(MalformedOpen, TheProgramSaysWhatIsWrongInOneLineAndWritesNothing) {
    test::TempDir made;
    const auto good = made / "good";
    std::filesystem::create_directories(good);
    db::createBookTable(good / "BOOKS.DBF");
    {
        auto t = db::Table::open(good / "BOOKS.DBF", db::OpenMode::Exclusive);
        db::appendGeneratedBooks(*t, 3000, 2);
        t->addTag("AUTHOR", "UPPER(AUTHOR)");
    }
    test::writeFile(good / "BOOKS.INI", "[Sort Order]\nSort1=2\n");
    test::writeFile(good / "SHVBOOK.URP", "");
    test::writeFile(good / "SOURCE.TXT", "\"Title\"\r\n");

    for (const auto& c : test::malformedCases()) {
        SCOPED_TRACE(c.name);
        test::TempDir home;
        const auto data = home / "data";
        std::filesystem::copy(good, data);
        c.spoil(data);
        const auto before = snapshot(data);
        test::writeFile(home / "SHVBOOK.INI", "[Misc]\nShow Tips=No\nLast Database=" +
                                                  (data / "BOOKS.DBF").string() + "\n");

        AnsweringPrompter prompter;
        app::AppContext ctx = contextFor(home, prompter);
        {
            shell::TMain window(ctx);
            if (window.FormCreate()) {
                window.show();
                QApplication::processEvents();
                window.close();
            }
        }
        ASSERT_EQ(prompter.boxTexts.size(), prompter.shown.size()) << "a message shown in no box";
        for (const auto& m : prompter.shown) {
            if (m.kind == app::MessageKind::Error) {
                EXPECT_FALSE(m.text.contains(u'\n')) << m.text.toStdString();
            }
        }
        // A database it refused stays as it was, and the first message names
        // the damaged file, or says the table is no catalogue of this
        // program's. One it opened keeps its records; its settings are saved
        // at close and its sort tag built, as for any database.
        const bool refused =
            !prompter.shown.empty() && prompter.shown.front().kind == app::MessageKind::Error;
        if (refused) {
            const QString& text = prompter.shown.front().text;
            EXPECT_TRUE(text.contains(QStringLiteral("BOOKS.")) ||
                        text.startsWith(QStringLiteral("This DBase file was not created with")))
                << text.toStdString();
        }
        const auto after = snapshot(data);
        for (const auto& [name, bytes] : before) {
            if (!refused && name != "BOOKS.DBF")
                continue;
            EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << name << " changed";
        }
    }
}

// A definitions file of nothing but damage: the report list names it once,
// record by record, when the program starts, and leaves the file as it was.
TEST(MalformedOpen, TheReportListRefusesDefinitionsOfTheWrongLength) {
    test::TempDir home;
    db::createBookTable(home / "MASTER.DBF");
    test::writeFile(home / "SHVBOOK.INI",
                    "[Misc]\nShow Tips=No\nLast Database=" + (home / "MASTER.DBF").string() + "\n");
    const std::string definitions(20622 * 2 + 5, 'A');
    test::writeFile(home / "SHVBOOK.URP", definitions);

    app::QtPrompter prompter;
    app::AppContext ctx = contextFor(home, prompter);
    // Answers every modal window as it comes: message boxes with their
    // default button, the report list by closing it.
    QStringList messages;
    QStringList windows;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w)
            return;
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            messages << box->text();
            test::clickDefaultButton(box);
        } else {
            windows << w->objectName();
            w->close();
        }
    });
    answer.start(50);
    // The list is read when the main window is made, and again when shown.
    shell::TMain window(ctx);
    ASSERT_TRUE(window.FormCreate());
    window.show();
    window.findChild<QAction*>(QStringLiteral("MenuReports"))->trigger();
    QTest::qWait(200);
    answer.stop();

    ASSERT_EQ(messages.size(), 1) << messages.join("|").toStdString();
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("SHVBOOK.URP holds reports that cannot be "
                                                      "used:\n\nreport 1: the name is 65 "
                                                      "characters long, more than 30;\nreport 2:")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("report 3, the last, is cut short at 5 of")))
        << messages[0].toStdString();
    EXPECT_EQ(windows, QStringList{QStringLiteral("TMyReport")});
    EXPECT_EQ(test::readFile(home / "SHVBOOK.URP"), definitions);
    window.close();
}

} // namespace
