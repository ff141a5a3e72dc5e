#include "shell/savedsearchcommands.h"

#include "app/prompter.h"
#include "app/showerror.h"
#include "db/engine/error.h"

namespace shelvix::shell {

namespace {

const QString kSaveCaption = QStringLiteral("Save Current Search");

// The window is busy while a search is put in force, however that ends.
class Busy {
public:
    explicit Busy(const std::function<void(bool)>& busy) : busy_(busy) {
        if (busy_)
            busy_(true);
    }
    ~Busy() {
        if (busy_)
            busy_(false);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    const std::function<void(bool)>& busy_;
};

} // namespace

find::SavedSearches SavedSearchCommands::current() const {
    if (ctx_.current.settings.isEmpty())
        return {};
    return find::SavedSearches::load(ctx_.current.settings);
}

bool SavedSearchCommands::canSave() const {
    return ctx_.SearchOn && !search_.criteriaInForce().empty() && !ctx_.current.settings.isEmpty();
}

bool SavedSearchCommands::store(const find::SavedSearches& searches) {
    QString why;
    if (searches.save(ctx_.current.settings, ctx_.settingsToWrite(), &why))
        return true;
    ctx_.prompter->error(QStringLiteral("The saved searches could not be written: ") + why);
    return false;
}

void SavedSearchCommands::saveCurrentSearch() {
    if (!canSave())
        return;
    const std::vector<find::SearchItem> items = search_.criteriaInForce();
    find::SavedSearches searches = current();
    QString name;
    for (;;) {
        const auto answer = ctx_.prompter->askText(
            {kSaveCaption, QStringLiteral("Name of the saved search:"), name});
        if (!answer)
            return;
        // A name is one line of visible text.
        name.clear();
        for (const QChar c : *answer)
            name += c.category() == QChar::Other_Control ? u' ' : c;
        name = name.trimmed();
        if (name.isEmpty()) {
            ctx_.prompter->error(QStringLiteral("A saved search needs a name."));
            continue;
        }
        if (find::isBuiltInName(name)) {
            ctx_.prompter->error(QStringLiteral("\"%1\" is the name of a built-in search.  "
                                                "Please choose another name.")
                                     .arg(name));
            continue;
        }
        if (!searches.find(name) ||
            ctx_.prompter->confirm(QStringLiteral("Confirm"),
                                   QStringLiteral("A saved search named \"%1\" already exists.  "
                                                  "Replace it?")
                                       .arg(searches.find(name)->name),
                                   app::Button::No) == app::Button::Yes)
            break;
    }
    searches.put(name, items);
    store(searches);
}

void SavedSearchCommands::runSavedSearch(const QString& name) {
    const auto items = current().itemsOf(name, today());
    if (!items) {
        ctx_.prompter->error(
            QStringLiteral("The saved search \"%1\" cannot be read from the settings file.")
                .arg(name));
        return;
    }
    bool found = false;
    try {
        const Busy hold(busy);
        found = search_.Doit(*items);
    } catch (const db::DatabaseError& e) {
        app::showError(*ctx_.prompter, e);
        view_.DisplayCount();
        return;
    }
    if (!found)
        ctx_.prompter->message(
            {.kind = app::MessageKind::Information,
             .caption = QStringLiteral("Notice"),
             .text = QStringLiteral("No books match the saved search \"%1\".").arg(name)});
    view_.DisplayCount();
}

void SavedSearchCommands::deleteSavedSearch() {
    find::SavedSearches searches = current();
    const QStringList names = searches.names();
    if (names.isEmpty())
        return;
    const auto chosen =
        ctx_.prompter->chooseItem({QStringLiteral("Delete Saved Search"),
                                   QStringLiteral("Saved search to delete:"), names, 0});
    if (!chosen || *chosen < 0 || *chosen >= names.size())
        return;
    searches.remove(names[*chosen]);
    store(searches);
}

void SavedSearchCommands::loanPeriodClick() {
    if (ctx_.current.settings.isEmpty())
        return;
    find::SavedSearches searches = current();
    const auto days =
        ctx_.prompter->askNumber({QStringLiteral("Loan Period"),
                                  QStringLiteral("Days a book may be out before it is overdue:"),
                                  searches.loanPeriod(), 1, find::kMaxLoanPeriod});
    if (!days || *days == searches.loanPeriod())
        return;
    searches.setLoanPeriod(*days);
    store(searches);
}

} // namespace shelvix::shell
