#pragma once

#include "app/prompter.h"

#include <deque>
#include <string>
#include <vector>

namespace shelvix::test {

// The Prompter of the widget tests: each message and dialog the code shows
// must be the next one scripted, with the same kind, caption, text, buttons
// and default button; it gets the scripted answer. Anything unexpected, or a
// scripted step never reached by the end of the test, fails the test.
class ScriptedPrompter : public app::Prompter {
public:
    ScriptedPrompter() = default;
    ~ScriptedPrompter() override;
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    ScriptedPrompter& expectMessage(const app::Message& message, app::Button answer);
    // "Error" with OK, answered OK.
    ScriptedPrompter& expectError(const QString& text);
    // A Yes/No question.
    ScriptedPrompter& expectConfirm(const QString& caption, const QString& text, app::Button answer,
                                    app::Button defaultButton = app::Button::Yes);
    ScriptedPrompter& expectFile(const app::FileRequest& request, std::optional<QString> answer);
    ScriptedPrompter& expectFont(const app::FontRequest& request,
                                 std::optional<app::FontSpec> answer);
    ScriptedPrompter& expectColor(int initial, std::optional<int> answer);
    ScriptedPrompter& expectPrint(const app::PrintRequest& request,
                                  std::optional<app::PrintSetup> answer);
    ScriptedPrompter& expectText(const app::TextRequest& request, std::optional<QString> answer);
    ScriptedPrompter& expectChoice(const app::ChoiceRequest& request, std::optional<int> answer);
    ScriptedPrompter& expectNumber(const app::NumberRequest& request, std::optional<int> answer);

    // Fails the test for every step not yet reached, and forgets them.
    void verify();
    bool done() const { return script_.empty(); }

    // Everything shown so far, in order.
    const std::vector<app::Message>& messages() const { return messages_; }
    const std::vector<app::Beep>& beeps() const { return beeps_; }

    app::Button message(const app::Message& message) override;
    void beep(app::Beep kind) override;
    std::optional<QString> chooseFile(const app::FileRequest& request) override;
    std::optional<app::FontSpec> chooseFont(const app::FontRequest& request) override;
    std::optional<int> chooseColor(int initial) override;
    std::optional<app::PrintSetup> choosePrinter(const app::PrintRequest& request) override;
    std::optional<QString> askText(const app::TextRequest& request) override;
    std::optional<int> chooseItem(const app::ChoiceRequest& request) override;
    std::optional<int> askNumber(const app::NumberRequest& request) override;

private:
    enum class Kind { Message, File, Font, Color, Print, Input };
    struct Step {
        Kind kind = Kind::Message;
        app::Message message;
        app::Button answer = app::Button::NoButton;
        app::FileRequest file;
        std::optional<QString> fileAnswer;
        app::FontRequest font;
        std::optional<app::FontSpec> fontAnswer;
        int color = 0;
        std::optional<int> colorAnswer;
        app::PrintRequest print;
        std::optional<app::PrintSetup> printAnswer;
        std::optional<QString> textAnswer; // Input: an answer for askText
        std::optional<int> numberAnswer;   // Input: for chooseItem and askNumber
        std::string description;
    };

    // The next step when it is of `kind`; otherwise fails the test.
    const Step* next(Kind kind, const std::string& shown);
    // An input box is told by its description, which holds all it shows.
    ScriptedPrompter& expectInput(std::string description, std::optional<QString> text,
                                  std::optional<int> number);
    const Step* input(const std::string& shown);

    std::deque<Step> script_;
    Step current_;
    std::vector<app::Message> messages_;
    std::vector<app::Beep> beeps_;
};

std::string describe(const app::Message& message);
std::string describe(const app::FileRequest& request);
std::string describe(const app::PrintRequest& request);
std::string describe(const app::TextRequest& request);
std::string describe(const app::ChoiceRequest& request);
std::string describe(const app::NumberRequest& request);

} // namespace shelvix::test
