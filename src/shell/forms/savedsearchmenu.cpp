#include "shell/forms/savedsearchmenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

namespace shelvix::shell {

SavedSearchMenu::SavedSearchMenu(app::AppContext& context, find::Search& search,
                                 find::SearchView& view, QMenu* navigate, QMenu* options,
                                 QObject* parent)
    : QObject(parent), commands_(context, search, view) {
    setObjectName(QStringLiteral("SavedSearchMenu"));
    commands_.busy = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    navigate->addSeparator();
    menu_ = navigate->addMenu(QStringLiteral("S&aved Searches"));
    menu_->setObjectName(QStringLiteral("MenuSavedSearches"));
    connect(menu_, &QMenu::aboutToShow, this, &SavedSearchMenu::fill);
    fill();

    // Beside the other settings of this program's own, after the fonts.
    QAction* loan = options->addAction(QStringLiteral("Loan &Period (days)..."));
    loan->setObjectName(QStringLiteral("MenuLoanPeriod"));
    connect(loan, &QAction::triggered, this, [this] { commands_.loanPeriodClick(); });
}

void SavedSearchMenu::fill() {
    menu_->clear();
    const auto add = [this](const QString& text, const char* name, auto run) {
        QAction* a = menu_->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, run);
        return a;
    };
    add(QStringLiteral("&Save Current Search..."), "MenuSaveCurrentSearch", [this] {
        commands_.saveCurrentSearch();
    })->setEnabled(commands_.canSave());
    menu_->addSeparator();
    add(QStringLiteral("&On Loan"), "MenuOnLoan",
        [this] { commands_.runSavedSearch(find::kOnLoanName); });
    add(QStringLiteral("O&verdue"), "MenuOverdue",
        [this] { commands_.runSavedSearch(find::kOverdueName); });
    const find::SavedSearches saved = commands_.current();
    if (!saved.entries().empty())
        menu_->addSeparator();
    for (const find::SavedSearch& s : saved.entries()) {
        // A name's "&" is shown, not taken for a key.
        QString text = s.name;
        add(text.replace(u'&', QStringLiteral("&&")), "MenuSavedSearch", [this, name = s.name] {
            commands_.runSavedSearch(name);
        })->setEnabled(s.readable);
    }
    menu_->addSeparator();
    add(QStringLiteral("&Delete Saved Search..."), "MenuDeleteSavedSearch", [this] {
        commands_.deleteSavedSearch();
    })->setEnabled(!saved.entries().empty());
}

} // namespace shelvix::shell
