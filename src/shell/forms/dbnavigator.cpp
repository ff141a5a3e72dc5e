#include "shell/forms/dbnavigator.h"

#include "app/prompter.h"
#include "app/showerror.h"

#include <QIcon>
#include <QToolButton>

namespace shelvix::shell {

namespace {

struct NavInfo {
    const char* name;
    const char* icon;
    const char* hint;
};

constexpr std::array<NavInfo, DBNavigator::kButtonCount> kNav = {{
    {"First", "first", "First record"},
    {"Prior", "prior", "Prior record"},
    {"Next", "next", "Next record"},
    {"Last", "last", "Last record"},
    {"Insert", "insert", "Insert record"},
    {"Delete", "remove", "Delete record"},
    {"Edit", "editrec", "Edit record"},
    {"Post", "post", "Post edit"},
    {"Cancel", "cancel", "Cancel edit"},
    {"Refresh", "refresh", "Refresh data"},
}};

} // namespace

DBNavigator::DBNavigator(app::Prompter& prompter, QWidget* parent)
    : QWidget(parent), prompter_(prompter) {
    for (int i = 0; i < kButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(kNav[std::size_t(i)].name));
        b->setIcon(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kNav[std::size_t(i)].icon))));
        b->setIconSize(QSize(12, 12));
        b->setToolTip(QString::fromLatin1(kNav[std::size_t(i)].hint));
        // Reached by Tab and pressed with Space, never focused by a click.
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { click(NavButton(i)); });
        buttons_[std::size_t(i)] = b;
    }
    layoutButtons();
    updateButtons();
}

DBNavigator::~DBNavigator() {
    setTable(nullptr);
}

void DBNavigator::setTable(db::Table* table) {
    if (table_)
        table_->removeObserver(this);
    table_ = table;
    if (table_)
        table_->addObserver(this);
    updateButtons();
}

void DBNavigator::setBrowseOnly(bool browseOnly) {
    browseOnly_ = browseOnly;
    for (int i = Insert; i < kButtonCount; ++i)
        buttons_[std::size_t(i)]->setVisible(!browseOnly);
    layoutButtons();
    updateButtons();
}

void DBNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutButtons();
}

// The visible buttons share the width, as wide as it allows.
void DBNavigator::layoutButtons() {
    const int count = browseOnly_ ? 4 : kButtonCount;
    const int w = width() / count;
    for (int i = 0; i < count; ++i)
        buttons_[std::size_t(i)]->setGeometry(i * w, 0, w, height());
}

void DBNavigator::updateButtons() {
    const bool open = table_ != nullptr;
    const bool editing = open && table_->state() != db::Table::State::Browse;
    bool atFirst = true;
    bool atLast = true;
    bool empty = true;
    if (open && !editing) {
        const std::uint32_t rows = table_->rowCount();
        const std::optional<std::uint32_t> row = table_->currentRow();
        empty = rows == 0;
        atFirst = empty || (row && *row == 0);
        atLast = empty || (row && *row + 1 >= rows);
    }
    const bool writable = open && table_->mode() != db::OpenMode::ReadOnly;
    button(First)->setEnabled(!editing && !atFirst);
    button(Prior)->setEnabled(!editing && !atFirst);
    button(Next)->setEnabled(!editing && !atLast);
    button(Last)->setEnabled(!editing && !atLast);
    button(Insert)->setEnabled(writable && !editing);
    button(Delete)->setEnabled(writable && !editing && !empty);
    button(Edit)->setEnabled(writable && !editing && !empty);
    button(Post)->setEnabled(editing);
    button(Cancel)->setEnabled(editing);
    button(Refresh)->setEnabled(open);
}

void DBNavigator::click(NavButton which) {
    if (table_)
        run(which);
    updateButtons();
    Q_EMIT clicked(int(which));
}

void DBNavigator::run(NavButton which) {
    try {
        switch (which) {
        case First:
            table_->first();
            break;
        case Prior:
            table_->prior();
            break;
        case Next:
            table_->next();
            break;
        case Last:
            table_->last();
            break;
        case Insert:
            table_->insert();
            break;
        case Delete:
            if (table_->recno() != 0 &&
                prompter_.message({app::MessageKind::Question, QStringLiteral("Confirm"),
                                   QStringLiteral("Delete record?"),
                                   app::Button::Ok | app::Button::Cancel, app::Button::NoButton}) ==
                    app::Button::Ok)
                table_->deleteRecord();
            break;
        case Edit:
            table_->edit();
            break;
        case Post:
            table_->post();
            break;
        case Cancel:
            table_->cancel();
            break;
        case Refresh:
            table_->refresh();
            break;
        }
    } catch (const db::DatabaseError& e) {
        app::showError(prompter_, e);
    }
}

} // namespace shelvix::shell
