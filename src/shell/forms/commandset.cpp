#include "shell/forms/commandset.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>

namespace shelvix::shell {

void CommandSet::define(Cmd id, int flags, std::function<void()> run) {
    at(id).run = std::move(run);
    at(id).flags = flags;
}

void CommandSet::run(Cmd id, int argument) {
    if (!at(id).run)
        return;
    argument_ = argument;
    at(id).run();
}

QAction* CommandSet::item(QMenu* menu, const char* objectName, const QString& text, Cmd id,
                          const QKeySequence& shortcut, int argument) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(objectName));
    a->setShortcut(shortcut);
    at(id).actions.push_back(a);
    QObject::connect(a, &QAction::triggered, owner_, [this, id, argument] { run(id, argument); });
    return a;
}

void CommandSet::menu(QMenu* menu, Cmd id) {
    at(id).actions.push_back(menu->menuAction());
}

void CommandSet::button(QAbstractButton* button, Cmd id, bool lettered) {
    (lettered ? at(id).lettered : at(id).speeds).push_back(button);
    QObject::connect(button, &QAbstractButton::clicked, owner_, [this, id] { run(id, 0); });
}

void CommandSet::update(bool browseMode, bool letteredBar, bool searchOn) {
    for (const Command& cmd : commands_) {
        const bool on = cmd.run && !(browseMode && (cmd.flags & ChangesData));
        const bool search = !(cmd.flags & FollowsSearch) || searchOn;
        for (QAction* a : cmd.actions)
            a->setEnabled(on && search);
        for (QAbstractButton* b : cmd.speeds)
            b->setEnabled(on && search);
        // Lettered End Search: enabled with the bar whatever the search
        // state, then following it (EnableEndSearch, DisableEndSearch).
        if (!(cmd.flags & FollowsSearch))
            for (QAbstractButton* b : cmd.lettered)
                b->setEnabled(on && letteredBar);
    }
}

} // namespace shelvix::shell
