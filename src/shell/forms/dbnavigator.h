#pragma once

#include "db/engine/table.h"

#include <QWidget>
#include <array>

class QToolButton;

namespace shelvix::app {
class Prompter;
} // namespace shelvix::app

namespace shelvix::shell {

// The record navigator: ten buttons that move through and edit the open
// table, each with its hint. Only the first four in browse mode.
class DBNavigator : public QWidget, private db::TableObserver {
    Q_OBJECT
public:
    enum NavButton { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int kButtonCount = 10;

    explicit DBNavigator(app::Prompter& prompter, QWidget* parent = nullptr);
    ~DBNavigator() override;

    // The table to work on; null detaches (before the table goes away).
    void setTable(db::Table* table);
    void setBrowseOnly(bool browseOnly);
    QToolButton* button(NavButton which) const { return buttons_[std::size_t(which)]; }
    void click(NavButton which);

Q_SIGNALS:
    // After any button did its work, whether or not it succeeded.
    void clicked(int button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void tableDataChanged() override { updateButtons(); }
    void tableCurrentChanged() override { updateButtons(); }
    void tableStructureChanged() override { updateButtons(); }
    void updateButtons();
    void layoutButtons();
    void run(NavButton which);

    app::Prompter& prompter_;
    db::Table* table_ = nullptr;
    bool browseOnly_ = false;
    std::array<QToolButton*, kButtonCount> buttons_{};
};

} // namespace shelvix::shell
