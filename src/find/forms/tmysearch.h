#pragma once

#include "app/appcontext.h"
#include "app/forms/placement.h"
#include "find/criteria.h"

#include <QDialog>
#include <QTableWidget>
#include <array>

class QPushButton;

namespace shelvix::find {

class Search;
class SearchDelegate;

// The criteria grid: three columns, a row per book field. Columns 0 and 1
// are fixed: clicks there never move the current cell, and the keyboard
// moves only between criteria cells. A release over the cell pressed in
// column 1, or F4 or Alt+Down on the row, asks for the options of its row.
class SearchGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit SearchGrid(QWidget* parent);

    // Commits and closes the editor of the cell being typed, if any.
    void finishEditing();
    // Opens the current cell's editor unless it is open.
    void editCurrent();
    SearchDelegate* delegate() const { return delegate_; }
    using QTableWidget::edit;

Q_SIGNALS:
    void optionsRequested(int row); // grid row 0 to 35

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void focusInEvent(QFocusEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SearchDelegate* delegate_;
    QModelIndex pressed_;
    bool holdEditor_ = false; // while an editor closes, or is closed on purpose
};

// "Search": criteria for any of the 36 fields in up to ten levels. Made at
// start-up and kept; each showing starts with no criteria, while the
// operator of each row is kept for the whole run.
class TMySearch : public QDialog {
    Q_OBJECT
public:
    TMySearch(app::AppContext& context, Search& search, QWidget* parent = nullptr);

    SearchGrid* searchGrid() const { return grid_; }
    QPushButton* moreButton() const { return more_; }
    const Criteria& criteria() const { return criteria_; }
    int rowOperator(int row) const { return RowOperator[std::size_t(row - 1)]; } // 1 to 36

    // The criteria cell's mask for a field row (1 to 36).
    QString SearchGridGetEditMask(int row) const;

    void OkButtonClick();
    void ExitButtonClick();
    void ClearButtonClick();
    void MoreButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void SetColors();
    bool SaveFields();
    bool Doit();
    void ClearSearch();
    void clearCells();
    void setLevelHeader();
    // The options dialog for grid row 0 to 35.
    void showOptions(int gridRow);

    app::AppContext& ctx_;
    Search& search_;
    app::FormGeometry geometry_;
    SearchGrid* grid_ = nullptr;
    QPushButton* more_ = nullptr;
    Criteria criteria_;
    std::array<int, kRows> RowOperator{};
};

} // namespace shelvix::find
