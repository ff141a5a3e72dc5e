#include "viewer/gridmodel.h"

#include "db/displayformats.h"
#include "db/fieldtable.h"
#include "db/recordtext.h"
#include "db/textcodec.h"

#include <QDate>
#include <algorithm>
#include <climits>

namespace shelvix::viewer {

namespace {

// Direct-mapped by row: a screenful, plus what scrolling back and forth by a
// few pages revisits.
constexpr std::size_t kCacheSlots = 256;

bool isNumeric(const db::FieldLayout& f) {
    return f.type == 'N' || f.type == 'F';
}

} // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent), cache_(kCacheSlots) {}

GridModel::~GridModel() {
    if (table_)
        table_->removeObserver(this);
}

void GridModel::setTable(db::Table* table) {
    if (table == table_)
        return;
    beginResetModel();
    if (table_)
        table_->removeObserver(this);
    table_ = table;
    if (table_) {
        table_->addObserver(this);
        codePage_ = table_->codePage();
    }
    mapColumns();
    for (auto& c : cache_)
        c = CachedRow{};
    rowCount_ = tableRows();
    lastCurrent_ = -1;
    endResetModel();
}

void GridModel::setDisplayFormats(const db::DisplayFormats* formats) {
    formats_ = formats;
    refreshTexts();
}

void GridModel::setColumns(std::vector<ViewerColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    mapColumns();
    for (auto& c : cache_)
        c = CachedRow{};
    endResetModel();
}

int GridModel::fieldAt(int column) const {
    if (column < 0 || column >= int(columns_.size()))
        return 0;
    return columns_[std::size_t(column)].field;
}

void GridModel::setEditable(bool on) {
    editable_ = on;
}

void GridModel::refreshTexts() {
    for (auto& c : cache_)
        c = CachedRow{};
    if (rowCount_ > 0 && !columns_.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount_ - 1, columnCount() - 1));
}

void GridModel::mapColumns() {
    tableFields_.assign(columns_.size(), -1);
    if (!table_)
        return;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        int field = columns_[c].field;
        if (field < 1 || field > db::kFieldCount)
            continue;
        try {
            tableFields_[c] = table_->fieldIndex(db::fieldInfo(field).name);
        } catch (const db::DatabaseError&) {
            // Not a book table after all: the column stays empty.
        }
    }
}

int GridModel::tableRows() const {
    if (!table_)
        return 0;
    try {
        return int(std::min<std::uint32_t>(table_->rowCount(), INT_MAX));
    } catch (const db::DatabaseError&) {
        return 0; // unreadable: nothing to show rather than a throw out of a repaint
    }
}

std::uint32_t GridModel::recnoAt(int row) const {
    if (!table_ || row < 0 || row >= rowCount_)
        return 0;
    try {
        return table_->recordAtRow(std::uint32_t(row));
    } catch (const db::DatabaseError&) {
        return 0;
    }
}

int GridModel::currentRow() {
    if (!table_ || table_->recno() == 0)
        return -1;
    const std::uint32_t cur = table_->recno();
    // Moves are mostly to a neighbour: no search for those.
    if (lastCurrent_ >= 0) {
        for (int delta : {0, 1, -1}) {
            int r = lastCurrent_ + delta;
            if (r >= 0 && r < rowCount_ && recnoAt(r) == cur)
                return lastCurrent_ = r;
        }
    }
    std::optional<std::uint32_t> row;
    try {
        row = table_->currentRow();
    } catch (const db::DatabaseError&) {
    }
    lastCurrent_ = row && *row < std::uint32_t(rowCount_) ? int(*row) : -1;
    return lastCurrent_;
}

bool GridModel::moveToRow(int row) {
    if (!table_ || row < 0 || row >= rowCount_)
        return false;
    if (recnoAt(row) == table_->recno()) {
        lastCurrent_ = row;
        return true;
    }
    try {
        return table_->moveToRow(std::uint32_t(row));
    } catch (const db::DatabaseError&) {
        // A click must not throw out of the event loop; the table stays put
        // (mid-edit elsewhere, or unreadable) and the view follows it back.
        return false;
    }
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowCount_;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

const GridModel::CachedRow* GridModel::cachedRow(int row) const {
    CachedRow& slot = cache_[std::size_t(row) % kCacheSlots];
    if (slot.row == row)
        return &slot;
    // While the table's controls are disabled its rows may be mid-change:
    // show only what was read before.
    if (!table_ || table_->controlsDisabled())
        return nullptr;
    std::uint32_t recno = recnoAt(row);
    if (recno == 0)
        return nullptr;
    try {
        db::RecordView record = table_->record(recno);
        ++recordReads_;
        QStringList texts;
        texts.reserve(qsizetype(columns_.size()));
        for (int fi : tableFields_) {
            if (fi < 0 || !formats_) {
                texts.append(QString());
                continue;
            }
            texts.append(db::fieldDisplayText(record, fi, table_->field(fi), codePage_, *formats_));
        }
        slot.row = row;
        slot.recno = recno;
        slot.texts = std::move(texts);
        return &slot;
    } catch (const db::DatabaseError&) {
        // A record that cannot be read (cut off by another program) shows
        // empty; painting must not throw.
        return nullptr;
    }
}

void GridModel::forget(int row) {
    CachedRow& slot = cache_[std::size_t(row) % kCacheSlots];
    if (slot.row == row)
        slot = CachedRow{};
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= int(columns_.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const CachedRow* row = cachedRow(index.row());
        if (!row)
            return QString();
        return row->texts.value(index.column());
    }
    case Qt::TextAlignmentRole: {
        int fi = tableFields_[std::size_t(index.column())];
        if (table_ && fi >= 0 && isNumeric(table_->field(fi)))
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < int(columns_.size()))
        return columns_[std::size_t(section)].title;
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_)
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return writeCell(index.row(), index.column(), value.toString());
}

bool GridModel::writeCell(int row, int column, const QString& text) {
    lastError_.clear();
    if (!table_ || column < 0 || column >= int(columns_.size()))
        return false;
    const int fi = tableFields_[std::size_t(column)];
    const std::uint32_t recno = recnoAt(row);
    if (fi < 0 || recno == 0)
        return false;
    // An editor closed without a change writes nothing.
    if (const CachedRow* c = cachedRow(row); c && c->recno == recno && c->texts[column] == text)
        return true;

    const db::FieldLayout& field = table_->field(fi);
    const QString fieldName = db::decodeField(field.name, table_->codePage());
    std::optional<db::Date> date;
    std::string bytes;
    if (field.type == 'D') {
        QString t = text.trimmed();
        if (!t.isEmpty()) {
            QDate q = formats_ ? formats_->parseDate(t) : QDate();
            if (!q.isValid()) {
                lastError_ =
                    QStringLiteral("'%1' is not a valid date for field '%2'").arg(text, fieldName);
                return false;
            }
            date = db::Date{q.year(), q.month(), q.day()};
        }
    } else {
        QChar bad;
        auto encoded = db::encodeField(text, codePage_, &bad);
        if (!encoded) {
            lastError_ = QStringLiteral("'%1' cannot be stored in field '%2'").arg(bad, fieldName);
            return false;
        }
        bytes = std::move(*encoded);
    }

    bool ok = true;
    posting_ = true;
    dataPending_ = currentPending_ = false;
    try {
        if (table_->recno() != recno && !table_->goToRecord(recno))
            throw db::DatabaseError("Record " + std::to_string(recno) + " is no longer available");
        table_->edit();
        if (field.type == 'D')
            table_->setDate(field.name, date);
        else
            table_->setText(field.name, bytes);
        table_->post();
    } catch (const db::DatabaseError& e) {
        if (table_->state() != db::Table::State::Browse)
            table_->cancel();
        lastError_ = db::errorText(e);
        ok = false;
    }
    posting_ = false;

    if (dataPending_) {
        if (ok && tableRows() == rowCount_ && recnoAt(row) == recno) {
            forget(row);
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
        } else {
            reset();
        }
    }
    if (currentPending_)
        Q_EMIT currentRowChanged(currentRow());
    return ok;
}

void GridModel::reset() {
    beginResetModel();
    for (auto& c : cache_)
        c = CachedRow{};
    rowCount_ = tableRows();
    endResetModel();
}

void GridModel::tableDataChanged() {
    if (posting_) {
        dataPending_ = true;
        return;
    }
    reset();
}

void GridModel::tableCurrentChanged() {
    if (posting_) {
        currentPending_ = true;
        return;
    }
    Q_EMIT currentRowChanged(currentRow());
}

void GridModel::tableStructureChanged() {
    if (posting_) {
        dataPending_ = true;
        return;
    }
    reset();
}

} // namespace shelvix::viewer
