#include "support/gui_scriptedprompter.h"

#include <gtest/gtest.h>
#include <sstream>

namespace shelvix::test {

using app::Button;

namespace {

std::string buttonNames(app::Buttons buttons) {
    static const std::pair<Button, const char*> kNames[] = {
        {Button::Ok, "Ok"},        {Button::Cancel, "Cancel"}, {Button::Yes, "Yes"},
        {Button::No, "No"},        {Button::Abort, "Abort"},   {Button::Retry, "Retry"},
        {Button::Ignore, "Ignore"}};
    std::string out;
    for (auto [b, name] : kNames) {
        if (buttons.testFlag(b))
            out += (out.empty() ? "" : "|") + std::string(name);
    }
    return out.empty() ? "none" : out;
}

const char* kindName(app::MessageKind kind) {
    switch (kind) {
    case app::MessageKind::Error:
        return "Error";
    case app::MessageKind::Warning:
        return "Warning";
    case app::MessageKind::Question:
        return "Question";
    case app::MessageKind::Information:
        break;
    }
    return "Information";
}

bool sameMessage(const app::Message& a, const app::Message& b) {
    return a.kind == b.kind && a.caption == b.caption && a.text == b.text &&
           a.buttons == b.buttons && a.effectiveDefault() == b.effectiveDefault();
}

std::string describe(const app::FontRequest& r) {
    return "font dialog \"" + r.title.toStdString() + "\" from " + r.initial.name.toStdString() +
           " " + std::to_string(r.initial.size);
}

} // namespace

std::string describe(const app::Message& m) {
    std::ostringstream out;
    out << kindName(m.kind) << " box \"" << m.caption.toStdString() << "\": \""
        << m.text.toStdString() << "\" [" << buttonNames(m.buttons) << ", default "
        << buttonNames(m.effectiveDefault()) << "]";
    return out.str();
}

std::string describe(const app::FileRequest& r) {
    static const char* kModes[] = {"open", "save", "directory"};
    std::ostringstream out;
    out << kModes[static_cast<int>(r.mode)] << " dialog \"" << r.title.toStdString()
        << "\" filter \"" << r.filter.toStdString() << "\" extension \""
        << r.defaultExtension.toStdString() << "\" in \"" << r.initialPath.toStdString()
        << "\" flags " << r.flags.toInt();
    return out.str();
}

std::string describe(const app::PrintRequest& r) {
    const app::PrintSetup& s = r.initial;
    std::ostringstream out;
    out << "print dialog on \"" << s.printer.toStdString() << "\" file \""
        << s.outputFile.toStdString() << "\" copies " << s.copies << " pages " << s.fromPage << "-"
        << s.toPage << " of " << r.pageCount << " paper " << s.paperSize.width() << "x"
        << s.paperSize.height() << (s.landscape ? " landscape" : " portrait");
    return out.str();
}

std::string describe(const app::TextRequest& r) {
    return "text box \"" + r.caption.toStdString() + "\" \"" + r.label.toStdString() +
           "\" from \"" + r.text.toStdString() + "\"";
}

std::string describe(const app::ChoiceRequest& r) {
    return "choice box \"" + r.caption.toStdString() + "\" \"" + r.label.toStdString() +
           "\" of \"" + r.items.join(QStringLiteral("\", \"")).toStdString() + "\" at " +
           std::to_string(r.current);
}

std::string describe(const app::NumberRequest& r) {
    return "number box \"" + r.caption.toStdString() + "\" \"" + r.label.toStdString() +
           "\" from " + std::to_string(r.value) + " in " + std::to_string(r.minimum) + ".." +
           std::to_string(r.maximum);
}

ScriptedPrompter::~ScriptedPrompter() {
    verify();
}

ScriptedPrompter& ScriptedPrompter::expectMessage(const app::Message& message, Button answer) {
    Step s;
    s.kind = Kind::Message;
    s.message = message;
    s.answer = answer;
    s.description = describe(message);
    script_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectError(const QString& text) {
    return expectMessage(
        {app::MessageKind::Error, QStringLiteral("Error"), text, Button::Ok, Button::Ok},
        Button::Ok);
}

ScriptedPrompter& ScriptedPrompter::expectConfirm(const QString& caption, const QString& text,
                                                  Button answer, Button defaultButton) {
    return expectMessage(
        {app::MessageKind::Question, caption, text, Button::Yes | Button::No, defaultButton},
        answer);
}

ScriptedPrompter& ScriptedPrompter::expectFile(const app::FileRequest& request,
                                               std::optional<QString> answer) {
    Step s;
    s.kind = Kind::File;
    s.file = request;
    s.fileAnswer = std::move(answer);
    s.description = describe(request);
    script_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectFont(const app::FontRequest& request,
                                               std::optional<app::FontSpec> answer) {
    Step s;
    s.kind = Kind::Font;
    s.font = request;
    s.fontAnswer = std::move(answer);
    s.description = describe(request);
    script_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectColor(int initial, std::optional<int> answer) {
    Step s;
    s.kind = Kind::Color;
    s.color = initial;
    s.colorAnswer = answer;
    s.description = "colour dialog from " + std::to_string(initial);
    script_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectPrint(const app::PrintRequest& request,
                                                std::optional<app::PrintSetup> answer) {
    Step s;
    s.kind = Kind::Print;
    s.print = request;
    s.printAnswer = std::move(answer);
    s.description = describe(request);
    script_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectInput(std::string description,
                                                std::optional<QString> text,
                                                std::optional<int> number) {
    Step s;
    s.kind = Kind::Input;
    s.textAnswer = std::move(text);
    s.numberAnswer = number;
    s.description = std::move(description);
    script_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectText(const app::TextRequest& request,
                                               std::optional<QString> answer) {
    return expectInput(describe(request), std::move(answer), std::nullopt);
}

ScriptedPrompter& ScriptedPrompter::expectChoice(const app::ChoiceRequest& request,
                                                 std::optional<int> answer) {
    return expectInput(describe(request), std::nullopt, answer);
}

ScriptedPrompter& ScriptedPrompter::expectNumber(const app::NumberRequest& request,
                                                 std::optional<int> answer) {
    return expectInput(describe(request), std::nullopt, answer);
}

void ScriptedPrompter::verify() {
    for (const Step& s : script_)
        ADD_FAILURE() << "expected but never shown: " << s.description;
    script_.clear();
}

const ScriptedPrompter::Step* ScriptedPrompter::next(Kind kind, const std::string& shown) {
    if (script_.empty() || script_.front().kind != kind) {
        ADD_FAILURE() << "unexpected " << shown
                      << (script_.empty() ? std::string("; nothing more was expected")
                                          : "; expected " + script_.front().description);
        return nullptr;
    }
    current_ = std::move(script_.front());
    script_.pop_front();
    return &current_;
}

Button ScriptedPrompter::message(const app::Message& message) {
    messages_.push_back(message);
    const Step* s = next(Kind::Message, describe(message));
    if (!s)
        return app::escapeButton(message.buttons);
    if (!sameMessage(s->message, message))
        ADD_FAILURE() << "expected " << s->description << "\n     shown " << describe(message);
    return s->answer;
}

void ScriptedPrompter::beep(app::Beep kind) {
    beeps_.push_back(kind);
}

std::optional<QString> ScriptedPrompter::chooseFile(const app::FileRequest& request) {
    const Step* s = next(Kind::File, describe(request));
    if (!s)
        return std::nullopt;
    if (!(s->file == request))
        ADD_FAILURE() << "expected " << s->description << "\n     shown " << describe(request);
    return s->fileAnswer;
}

std::optional<app::FontSpec> ScriptedPrompter::chooseFont(const app::FontRequest& request) {
    const Step* s = next(Kind::Font, describe(request));
    if (!s)
        return std::nullopt;
    if (!(s->font == request))
        ADD_FAILURE() << "expected " << s->description << "\n     shown " << describe(request);
    return s->fontAnswer;
}

std::optional<int> ScriptedPrompter::chooseColor(int initial) {
    const Step* s = next(Kind::Color, "colour dialog from " + std::to_string(initial));
    if (!s)
        return std::nullopt;
    if (s->color != initial)
        ADD_FAILURE() << "expected " << s->description << ", shown from " << initial;
    return s->colorAnswer;
}

std::optional<app::PrintSetup> ScriptedPrompter::choosePrinter(const app::PrintRequest& request) {
    const Step* s = next(Kind::Print, describe(request));
    if (!s)
        return std::nullopt;
    if (!(s->print == request))
        ADD_FAILURE() << "expected " << s->description << "\n     shown " << describe(request);
    return s->printAnswer;
}

const ScriptedPrompter::Step* ScriptedPrompter::input(const std::string& shown) {
    const Step* s = next(Kind::Input, shown);
    if (s && s->description != shown)
        ADD_FAILURE() << "expected " << s->description << "\n     shown " << shown;
    return s;
}

std::optional<QString> ScriptedPrompter::askText(const app::TextRequest& request) {
    const Step* s = input(describe(request));
    return s ? s->textAnswer : std::nullopt;
}

std::optional<int> ScriptedPrompter::chooseItem(const app::ChoiceRequest& request) {
    const Step* s = input(describe(request));
    return s ? s->numberAnswer : std::nullopt;
}

std::optional<int> ScriptedPrompter::askNumber(const app::NumberRequest& request) {
    const Step* s = input(describe(request));
    return s ? s->numberAnswer : std::nullopt;
}

} // namespace shelvix::test
