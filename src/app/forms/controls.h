#pragma once

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <algorithm>
#include <functional>

// Controls made at their design positions (which placement then scales)
// with the object names tests find them by.
namespace shelvix::app::controls {

template <class Control>
Control* make(QWidget* parent, const char* name, const QString& text, const QRect& at) {
    auto* c = new Control(text, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(at);
    return c;
}

inline QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& at) {
    return make<QLabel>(parent, name, text, at);
}

// Never a default button: Enter in the grid must not press one.
inline QPushButton* button(QWidget* parent, const char* name, const QString& text,
                           const QRect& at) {
    auto* b = make<QPushButton>(parent, name, text, at);
    b->setAutoDefault(false);
    return b;
}

inline QRadioButton* radio(QWidget* parent, const char* name, const QString& text,
                           const QRect& at) {
    return make<QRadioButton>(parent, name, text, at);
}

// A grid cell the user can select but not type into.
inline QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

// A field grid the user reads and double-clicks, never types into: one row
// at a time, Tab moving between its cells.
inline void setUpFieldGrid(QTableWidget* grid) {
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(8);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setTabKeyNavigation(true);
}

// Up and Down of the field grids: the current row's cells in columns
// `first`..`last` trade places with the row `delta` away, and the cursor
// follows them. Nothing moves past either end.
inline void moveCurrentRow(QTableWidget* grid, int delta, int first, int last) {
    const int row = grid->currentRow();
    const int to = row + delta;
    if (row < 0 || to < 0 || to >= grid->rowCount())
        return;
    for (int column = first; column <= last; ++column) {
        QTableWidgetItem* a = grid->takeItem(row, column);
        QTableWidgetItem* b = grid->takeItem(to, column);
        grid->setItem(row, column, b);
        grid->setItem(to, column, a);
    }
    grid->setCurrentCell(to, std::max(grid->currentColumn(), 0));
}

namespace detail {

// Keys of a cell grid that a plain view leaves out.
class GridKeys : public QObject {
public:
    GridKeys(QAbstractItemView* grid, int yesNoColumn, std::function<void(int, int)> toggle)
        : QObject(grid), grid_(grid), column_(yesNoColumn), toggle_(std::move(toggle)) {
        grid->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != grid_ || event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex at = grid_->currentIndex();
        if (toggle_ && key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            if (at.isValid())
                toggle_(at.row(), column_);
            return true;
        }
        const bool back = key->key() == Qt::Key_Backtab ||
                          (key->key() == Qt::Key_Tab && key->modifiers() & Qt::ShiftModifier);
        if (inside_ || (key->key() != Qt::Key_Tab && !back) || !grid_->tabKeyNavigation() ||
            (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        // Tab goes from cell to cell, and past the last (Shift+Tab before the
        // first) on to the next control, as from any other, never round again.
        const auto place = [](const QModelIndex& i) { return std::pair(i.row(), i.column()); };
        const auto resend = [&] {
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
            QCoreApplication::sendEvent(grid_, &copy);
        };
        inside_ = true;
        resend();
        const QModelIndex now = grid_->currentIndex();
        const bool moved = at.isValid() && now.isValid() &&
                           (back ? place(now) < place(at) : place(at) < place(now));
        if (!moved) {
            if (now != at)
                grid_->setCurrentIndex(at);
            grid_->setTabKeyNavigation(false);
            resend();
            grid_->setTabKeyNavigation(true);
        }
        inside_ = false;
        return true;
    }

private:
    QAbstractItemView* grid_;
    int column_;
    std::function<void(int, int)> toggle_;
    bool inside_ = false;
};

} // namespace detail

// Tab in a grid that moves between its cells leaves it past the last cell.
inline void letTabLeave(QAbstractItemView* grid) {
    new detail::GridKeys(grid, -1, {});
}

// Space on a row of a Yes/No grid does what a double-click on the row's
// Yes/No cell does; Enter is left to the dialog. Tab leaves it at its ends.
inline void toggleWithSpace(QAbstractItemView* grid, int yesNoColumn,
                            std::function<void(int row, int column)> toggle) {
    new detail::GridKeys(grid, yesNoColumn, std::move(toggle));
}

} // namespace shelvix::app::controls
