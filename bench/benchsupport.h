#pragma once

// Stand-ins for the windows, so the database commands run headless.

#include "app/databases.h"
#include "app/prompter.h"

#include <cstdio>
#include <cstdlib>

namespace shelvix::bench {

// Answers Yes where a question offers it (when `answerYes`); any other message
// means the benchmark would measure a failure, so it stops the run.
struct BenchPrompter : app::Prompter {
    bool answerYes = false;
    app::Button message(const app::Message& m) override {
        if (answerYes && m.buttons.testFlag(app::Button::Yes))
            return app::Button::Yes;
        std::fprintf(stderr, "unexpected message: %s\n", m.text.toUtf8().constData());
        std::abort();
    }
    void beep(app::Beep) override {}
    std::optional<QString> chooseFile(const app::FileRequest&) override { return {}; }
    std::optional<app::FontSpec> chooseFont(const app::FontRequest&) override { return {}; }
    std::optional<int> chooseColor(int) override { return {}; }
    std::optional<app::PrintSetup> choosePrinter(const app::PrintRequest&) override { return {}; }
    std::optional<QString> askText(const app::TextRequest&) override { return {}; }
    std::optional<int> chooseItem(const app::ChoiceRequest&) override { return {}; }
    std::optional<int> askNumber(const app::NumberRequest&) override { return {}; }
};

struct NullView : app::DatabaseView {
    void setCaption(const QString&) override {}
    void tableClosing() override {}
    void DoFileSpecific() override {}
    void SetMenuLastFiles() override {}
    void DisplayCount() override {}
    void SetViewerOptions() override {}
    void DoEndSearch() override {}
    void EnableEndSearch() override {}
};

} // namespace shelvix::bench
