#pragma once

#include "core/codec.h"
#include "db/engine/table.h"
#include "viewer/viewercolumns.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace shelvix::db {
class DisplayFormats;
}

namespace shelvix::viewer {

// The rows of the open table, in its current order with its filter applied,
// as the viewer grid shows them. Rows come from the engine's row vector, so
// the count costs nothing and a screenful of rows costs one record read a
// row; texts of recently shown rows are kept until the table reports a
// change. Between the table's disableControls() and enableControls() the
// model shows only what it has kept, so bulk work is never slowed by painting.
class GridModel : public QAbstractTableModel, private db::TableObserver {
    Q_OBJECT

public:
    explicit GridModel(QObject* parent = nullptr);
    ~GridModel() override;

    // Null shows no rows. The table must outlive the model or be replaced first.
    void setTable(db::Table* table);
    db::Table* table() const { return table_; }
    // Dates are shown in these formats; without them, not at all.
    void setDisplayFormats(const db::DisplayFormats* formats);
    void setColumns(std::vector<ViewerColumn> columns);
    const std::vector<ViewerColumn>& columns() const { return columns_; }
    // Field number (1 to 36) of a column, or 0.
    int fieldAt(int column) const;
    // Cells accept edits (ItemIsEditable) only when on.
    void setEditable(bool on);
    bool editable() const { return editable_; }
    // Forgets every kept text: after the display formats changed, say.
    void refreshTexts();

    // Record number of a row, 0 when there is none.
    std::uint32_t recnoAt(int row) const;
    // The table's current record as a row, -1 when it has none or it is not
    // among the rows.
    int currentRow();
    // Makes the row's record the table's current one.
    bool moveToRow(int row);
    // The message of the last refused setData, as the user should see it.
    const QString& lastError() const { return lastError_; }
    // Records read for display so far (tests and benchmarks watch this).
    std::uint64_t recordReads() const { return recordReads_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Writes the text through the table (edit, set, post). A value the field
    // cannot hold is refused with lastError() set and the table unchanged.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // The table's current record moved; -1 when it is on no row.
    void currentRowChanged(int row);

private:
    struct CachedRow {
        std::int64_t row = -1;
        std::uint32_t recno = 0;
        QStringList texts;
    };

    void tableDataChanged() override;
    void tableCurrentChanged() override;
    void tableStructureChanged() override;

    int tableRows() const;
    void reset();
    void mapColumns();
    const CachedRow* cachedRow(int row) const;
    void forget(int row);
    bool writeCell(int row, int column, const QString& text);

    db::Table* table_ = nullptr;
    const db::DisplayFormats* formats_ = nullptr;
    core::CodePage codePage_ = core::CodePage::Windows1252;
    std::vector<ViewerColumn> columns_;
    std::vector<int> tableFields_; // per column: field index in the table, or -1
    bool editable_ = false;
    int rowCount_ = 0;
    int lastCurrent_ = -1;
    QString lastError_;

    // Notifications that arrive while this model posts an edit of its own
    // wait until the post is done, so that an edit that leaves its row in
    // place repaints that row instead of resetting the view under its editor.
    bool posting_ = false;
    bool dataPending_ = false;
    bool currentPending_ = false;

    mutable std::vector<CachedRow> cache_;
    mutable std::uint64_t recordReads_ = 0;
};

} // namespace shelvix::viewer
