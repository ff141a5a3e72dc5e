#pragma once

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <algorithm>

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

} // namespace shelvix::app::controls
