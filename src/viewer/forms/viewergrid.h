#pragma once

#include "db/datalists.h"

#include <QFont>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStringList>
#include <QTableView>
#include <array>
#include <optional>

namespace shelvix::app {
class Prompter;
}
namespace shelvix::db {
class DisplayFormats;
struct DatabaseSettings;
} // namespace shelvix::db

namespace shelvix::db {
class Table;
}

namespace shelvix::viewer {

class GridModel;
class GridDelegate;

// The main window's viewer: the open table's rows under the columns the
// viewer settings choose, with in-cell editors when field editing is on.
// The view's current row and the table's current record follow each other.
class ViewerGrid : public QTableView {
    Q_OBJECT

public:
    explicit ViewerGrid(QWidget* parent = nullptr);
    ~ViewerGrid() override;

    // Null shows nothing. Set null before the table is closed.
    void setTable(db::Table* table);
    db::Table* table() const;
    void setDisplayFormats(const db::DisplayFormats* formats);
    // Shows refused cell values; without one they are refused silently.
    void setPrompter(app::Prompter* prompter);
    // The entries of the drop-down of a data-list field (field number 1 to 36).
    void setDropDownList(int field, const QStringList& entries);
    // All nine drop-downs from the database's data lists.
    void setDataLists(const db::DataLists& lists);
    QStringList dropDownList(int field) const;
    // Adds an entry to the drop-down of `field` as db::AddToList does.
    void addToDropDownList(int field, const QString& text);

    // Applies the viewer settings: titles, colours, fonts, lines, the row
    // indicator, editing, and the columns with their titles and widths.
    void SetViewerOptions(const db::DatabaseSettings& settings);

    GridModel* gridModel() const { return model_; }
    const QFont& cellFont() const { return cellFont_; }
    bool columnLines() const { return columnLines_; }
    bool rowLines() const { return rowLines_; }
    bool fieldEditing() const { return fieldEditing_; }
    // Pixel width of a column `chars` characters wide in the cell font.
    int columnPixels(int chars) const;

    // The text a refused cell is reopened with (for the delegate).
    std::optional<QString> pendingText(const QModelIndex& index) const;
    // The delegate reports each editor it makes.
    void editorOpened(QWidget* editor);
    // The delegate reports a value the model refused.
    void refuse(const QModelIndex& index, const QString& text);
    // The delegate reports a drop-down value the table took: a new one joins
    // the field's list here and, through listValueEntered, the data list.
    void listValueStored(int column, const QString& text);

Q_SIGNALS:
    // A row was double-clicked: the main window opens the record form.
    void rowDoubleClicked(int row);
    // A value typed into the drop-down of data list `list` (1 to 9) that the
    // list did not hold yet, trimmed.
    void listValueEntered(int list, const QString& text);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Refusal {
        QPersistentModelIndex index;
        QString text;
        QString message;
    };

    void followTable(int row);
    void reopenRefused();

    GridModel* model_;
    GridDelegate* delegate_;
    const db::DisplayFormats* formats_ = nullptr;
    app::Prompter* prompter_ = nullptr;
    std::array<QStringList, 37> lists_; // by field number
    QFont cellFont_;
    bool columnLines_ = true;
    bool rowLines_ = true;
    bool fieldEditing_ = false;
    bool following_ = false; // moving the view to the table's row
    bool resetting_ = false;
    int columnBeforeReset_ = 0;
    QList<QPointer<QWidget>> editors_; // open editors the view still owns
    std::optional<Refusal> refusal_;
    std::optional<Refusal> reopening_;
};

} // namespace shelvix::viewer
