#include "viewer/forms/viewergrid.h"

#include "app/prompter.h"
#include "db/datalists.h"
#include "db/fieldtable.h"
#include "db/settings.h"
#include "viewer/forms/griddelegate.h"
#include "viewer/gridmodel.h"
#include "viewer/viewercolumns.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace shelvix::viewer {

namespace {

QColor fromWindowsColor(int c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QFont toFont(const db::FontSpec& def) {
    QFont font(def.name);
    font.setPointSize(def.size > 0 ? def.size : 10);
    font.setBold(def.bold);
    font.setItalic(def.italic);
    font.setUnderline(def.underline);
    font.setStrikeOut(def.strikeout);
    return font;
}

// The narrow column left of the rows that marks the current one with a
// right-pointing triangle.
class RowIndicator : public QHeaderView {
public:
    explicit RowIndicator(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
        setHighlightSections(false);
        setFixedWidth(12);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        painter->fillRect(rect, palette().button());
        painter->setPen(palette().color(QPalette::Mid));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        if (selectionModel() && selectionModel()->currentIndex().row() == logicalIndex) {
            int h = std::min(rect.height() - 4, 8);
            int x = rect.left() + (rect.width() - h / 2) / 2;
            int y = rect.center().y() - h / 2;
            QPolygon marker({QPoint(x, y), QPoint(x + h / 2, y + h / 2), QPoint(x, y + h)});
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(palette().color(QPalette::ButtonText));
            painter->drawPolygon(marker);
        }
        painter->restore();
    }
};

} // namespace

ViewerGrid::ViewerGrid(QWidget* parent)
    : QTableView(parent), model_(new GridModel(this)), delegate_(new GridDelegate(this)) {
    setObjectName(QStringLiteral("ViewerGrid"));
    setVerticalHeader(new RowIndicator(this));
    setModel(model_);
    setItemDelegate(delegate_);
    setShowGrid(false); // the delegate draws the lines the settings ask for
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(true);
    setFrameShape(QFrame::StyledPanel); // the 3-D look
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);

    connect(model_, &GridModel::currentRowChanged, this, &ViewerGrid::followTable);
    // While the view resets it may pick a current index of its own (the
    // first row, when a closing editor hands it the focus): that must not
    // move the table.
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        columnBeforeReset_ = std::max(0, currentIndex().column());
        resetting_ = true;
        editors_.clear(); // the view lets go of them
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        resetting_ = false;
        followTable(model_->currentRow());
    });
}

ViewerGrid::~ViewerGrid() {
    model_->setTable(nullptr);
}

void ViewerGrid::setTable(db::Table* table) {
    refusal_.reset();
    reopening_.reset();
    model_->setTable(table);
    followTable(model_->currentRow());
}

db::Table* ViewerGrid::table() const {
    return model_->table();
}

void ViewerGrid::setDisplayFormats(const db::DisplayFormats* formats) {
    formats_ = formats;
    model_->setDisplayFormats(formats);
}

void ViewerGrid::setPrompter(app::Prompter* prompter) {
    prompter_ = prompter;
}

void ViewerGrid::setDropDownList(int field, const QStringList& entries) {
    if (field >= 1 && field <= db::kFieldCount)
        lists_[std::size_t(field)] = entries;
}

void ViewerGrid::setDataLists(const db::DataLists& lists) {
    for (int field = 1; field <= db::kFieldCount; ++field)
        if (int list = db::dataListOfField(field))
            lists_[std::size_t(field)] = lists[std::size_t(list - 1)];
}

QStringList ViewerGrid::dropDownList(int field) const {
    if (field < 1 || field > db::kFieldCount)
        return {};
    return lists_[std::size_t(field)];
}

void ViewerGrid::addToDropDownList(int field, const QString& text) {
    if (field >= 1 && field <= db::kFieldCount)
        db::AddToList(lists_[std::size_t(field)], text);
}

int ViewerGrid::columnPixels(int chars) const {
    // Widths from a hand-edited file are held to what the dialog allows.
    chars = std::clamp(chars, 1, 255);
    return QFontMetrics(cellFont_).averageCharWidth() * chars + 8;
}

void ViewerGrid::SetViewerOptions(const db::DatabaseSettings& s) {
    // Options: Tab between columns and a selection that stays visible
    // without focus always; the rest as set.
    setTabKeyNavigation(true);
    horizontalHeader()->setVisible(s.gridShowTitles);
    verticalHeader()->setVisible(s.rowIndicator);
    columnLines_ = s.columnLines;
    rowLines_ = s.rowLines;
    fieldEditing_ = s.fieldEditing;
    model_->setEditable(fieldEditing_);
    if (fieldEditing_) {
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed);
    } else {
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    }

    // Cell font and colours.
    cellFont_ = toFont(s.gridFont);
    setFont(cellFont_);
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Base, fromWindowsColor(s.gridCellColor));
        pal.setColor(group, QPalette::Text, fromWindowsColor(s.gridFont.color));
    }
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    QFontMetrics fm(cellFont_);
    verticalHeader()->setMinimumSectionSize(fm.height());
    verticalHeader()->setDefaultSectionSize(fm.height() + 4);

    // Titles. A style sheet, because styles paint header sections in their
    // own colours whatever the palette says.
    QHeaderView* titles = horizontalHeader();
    QColor back = fromWindowsColor(s.gridTitleBackground);
    QColor text = fromWindowsColor(s.gridTitleFont.color);
    titles->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: %2; border: none;"
                       " border-right: 1px solid %3; border-bottom: 1px solid %3;"
                       " padding: 1px 4px; }")
            .arg(back.name(), text.name(), back.darker(160).name()));
    titles->setFont(toFont(s.gridTitleFont));
    Qt::Alignment align = s.gridTitleAlignment == 1   ? Qt::AlignLeft
                          : s.gridTitleAlignment == 3 ? Qt::AlignRight
                                                      : Qt::AlignHCenter;
    titles->setDefaultAlignment(align | Qt::AlignVCenter);

    // Columns.
    setUpdatesEnabled(false);
    auto columns = planViewerColumns(s);
    std::vector<int> widths;
    for (const auto& c : columns)
        widths.push_back(columnPixels(c.width));
    model_->setColumns(std::move(columns));
    for (std::size_t i = 0; i < widths.size(); ++i)
        titles->resizeSection(int(i), widths[i]);
    setUpdatesEnabled(true);
    followTable(model_->currentRow());
    viewport()->update();
}

void ViewerGrid::followTable(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        following_ = true;
        selectionModel()->clear();
        following_ = false;
        verticalHeader()->viewport()->update();
        return;
    }
    int column = currentIndex().isValid() ? currentIndex().column() : columnBeforeReset_;
    column = std::clamp(column, 0, std::max(0, model_->columnCount() - 1));
    QModelIndex index = model_->index(row, column);
    if (!index.isValid())
        return;
    if (currentIndex() != index) {
        following_ = true;
        QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect;
        if (!fieldEditing_)
            how |= QItemSelectionModel::Rows;
        selectionModel()->setCurrentIndex(index, how);
        following_ = false;
    }
    scrollTo(index);
    verticalHeader()->viewport()->update();
}

void ViewerGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    verticalHeader()->viewport()->update();
    if (!following_ && !resetting_ && current.isValid() && current.row() != previous.row() &&
        !model_->moveToRow(current.row())) {
        // The table could not move (busy elsewhere): show where it is.
        QTimer::singleShot(0, this, [this] { followTable(model_->currentRow()); });
    }
}

std::optional<QString> ViewerGrid::pendingText(const QModelIndex& index) const {
    if (reopening_ && reopening_->index == index)
        return reopening_->text;
    return std::nullopt;
}

void ViewerGrid::refuse(const QModelIndex& index, const QString& text) {
    refusal_ = Refusal{index, text, model_->lastError()};
}

void ViewerGrid::listValueStored(int column, const QString& text) {
    const int field = model_->fieldAt(column);
    const int list = db::dataListOfField(field);
    if (list == 0)
        return;
    const QString trimmed = text.trimmed();
    if (db::AddToList(lists_[std::size_t(field)], trimmed))
        Q_EMIT listValueEntered(list, trimmed);
}

void ViewerGrid::editorOpened(QWidget* editor) {
    editors_.removeAll(nullptr);
    editors_.append(editor);
}

void ViewerGrid::commitData(QWidget* editor) {
    // An editor the view let go of when an edit moved its row has nothing
    // left to write.
    if (editors_.contains(editor))
        QTableView::commitData(editor);
}

void ViewerGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (!editors_.removeAll(editor))
        return;
    if (!refusal_) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    // The refused value goes back into the cell for correction once the
    // editor's own event has finished.
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    reopening_ = std::move(refusal_);
    refusal_.reset();
    QTimer::singleShot(0, this, &ViewerGrid::reopenRefused);
}

void ViewerGrid::reopenRefused() {
    if (!reopening_)
        return;
    QPersistentModelIndex index = reopening_->index;
    if (prompter_ && !reopening_->message.isEmpty())
        prompter_->error(reopening_->message);
    if (index.isValid()) {
        setCurrentIndex(index);
        edit(index);
    }
    reopening_.reset();
}

void ViewerGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        Q_EMIT rowDoubleClicked(index.row());
}

} // namespace shelvix::viewer
