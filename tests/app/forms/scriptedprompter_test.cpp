#include "support/gui_scriptedprompter.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace shelvix::app;
using shelvix::test::ScriptedPrompter;

TEST(ScriptedPrompter, AnswersTheScriptInOrder) {
    ScriptedPrompter p;
    p.expectConfirm("Warning", "Proceed?", Button::No, Button::No)
        .expectError("Invalid file type selected.")
        .expectFile({.mode = FileMode::Open, .title = "Open Database File"}, QString("/x/A.DBF"))
        .expectColor(255, 0);
    p.beep(Beep::Question);
    EXPECT_EQ(p.confirm("Warning", "Proceed?", Button::No), Button::No);
    p.error("Invalid file type selected.");
    EXPECT_EQ(p.chooseFile({.mode = FileMode::Open, .title = "Open Database File"}), "/x/A.DBF");
    EXPECT_EQ(p.chooseColor(255), 0);
    EXPECT_TRUE(p.done());
    EXPECT_EQ(p.beeps(), std::vector<Beep>{Beep::Question});
    EXPECT_EQ(p.messages().size(), 2u);
}

TEST(ScriptedPrompter, FailsOnAnythingUnexpectedOrMissing) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            EXPECT_EQ(p.confirm("Confirm", "Delete this record?"), Button::No);
        },
        "unexpected Question box \"Confirm\"");

    // A different default button, text or caption is a different message.
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            p.expectConfirm("Confirm", "Delete this record?", Button::Yes);
            p.confirm("Confirm", "Delete this record?", Button::No);
        },
        "default No");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            p.expectError("Unable to pack table.  Packing requires exclusive use.");
            p.error("Unable to pack table. Packing requires exclusive use.");
        },
        "expected Error box");

    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            p.expectError("Never shown.");
        },
        "expected but never shown: Error box \"Error\": \"Never shown.\"");

    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            EXPECT_EQ(p.chooseFile({.mode = FileMode::Save, .title = "Export"}), std::nullopt);
        },
        "unexpected save dialog \"Export\" filter \"\" extension \"\" in \"\" flags 0; "
        "nothing more was expected");

    // A print dialog that starts from another setup is another dialog.
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            p.expectPrint({.initial = {.copies = 3}}, std::nullopt);
            EXPECT_EQ(p.choosePrinter({}), std::nullopt);
        },
        "expected print dialog on \"\" file \"\" copies 3 pages 0-0 of 0");
}
