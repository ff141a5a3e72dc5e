#include "find/forms/tmysearch.h"

#include "app/forms/colors.h"
#include "app/forms/helpviewer.h"
#include "app/prompter.h"
#include "db/datalists.h"
#include "db/engine/error.h"
#include "db/fieldtable.h"
#include "find/forms/tsearchoptions.h"
#include "find/search.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <cmath>
#include <functional>

namespace shelvix::find {

namespace {

constexpr int kDesignWidth = 636;
constexpr int kDesignHeight = 480;
constexpr int kCriteriaColumn = 2;
constexpr int kDesignRowHeight = 24;
const QColor kOptionsGrey(128, 128, 128);

int scaled(double pixels, double factor) {
    return int(std::lround(pixels * factor));
}

// The key that opens a row's options, as a drop-down opens.
bool isOptionsKey(const QKeyEvent* key) {
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_F4 && mods == Qt::NoModifier) ||
           (key->key() == Qt::Key_Down && mods == Qt::AltModifier);
}

QString optionsTip(int field) {
    if (!hasOptions(field))
        return QString();
    return rowType(field) == RowType::Text
               ? QStringLiteral("F4 or Alt+Down: pick from the list")
               : QStringLiteral("F4 or Alt+Down: choose = > < or between");
}

// The hourglass over the screen and the window while a search is put in
// force, given back however Doit ends.
class BusyCursor {
public:
    explicit BusyCursor(QWidget* window) : window_(window) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        window_->setCursor(Qt::WaitCursor);
    }
    ~BusyCursor() {
        window_->unsetCursor();
        QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    QWidget* window_;
};

} // namespace

// Criteria cells: masked by row type and operator; the "..." cell of number,
// date and list rows drawn grey; the fixed columns in the button colour.
class SearchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    std::function<QString(int row)> maskFor;
    std::function<int(int row)> operatorFor;
    std::function<void(int gridRow)> optionsFor;
    QPointer<QLineEdit> editor;
    int editorRow = -1;
    QString openedText; // what the editor showed when it opened

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int field = index.row() + 1;
        if (index.column() == 1 && hasOptions(field)) {
            // SearchGridDrawCell: grey with "..." centred, offsets rounded down.
            painter->save();
            painter->fillRect(option.rect, kOptionsGrey);
            const QString dots = QStringLiteral("...");
            const QFontMetrics fm(option.font);
            const int x = (option.rect.width() - fm.horizontalAdvance(dots)) / 2;
            const int y = (option.rect.height() - fm.height()) / 2;
            painter->setPen(option.palette.color(QPalette::Text));
            painter->drawText(option.rect.left() + x, option.rect.top() + y + fm.ascent(), dots);
            painter->restore();
            return;
        }
        if (index.column() < kCriteriaColumn) {
            painter->fillRect(option.rect, option.palette.button());
            QStyleOptionViewItem o = option;
            o.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
            o.palette.setColor(QPalette::Text, option.palette.color(QPalette::ButtonText));
            o.backgroundBrush = option.palette.button();
            QStyledItemDelegate::paint(painter, o, index);
            return;
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QStringLiteral("CriteriaEditor"));
        e->setFrame(false);
        const int field = index.row() + 1;
        e->setToolTip(optionsTip(field));
        const QString mask = maskFor(field);
        if (mask.isEmpty())
            e->setMaxLength(db::fieldInfo(field).width);
        else
            e->setInputMask(mask);
        auto* self = const_cast<SearchDelegate*>(this);
        self->editor = e;
        self->editorRow = index.row();
        return e;
    }

    void setEditorData(QWidget* w, const QModelIndex& index) const override {
        auto* e = static_cast<QLineEdit*>(w);
        const int field = index.row() + 1;
        const QString text = index.data().toString();
        e->setText(fitToMask(text, field, operatorFor(field)));
        if (!e->inputMask().isEmpty())
            e->setCursorPosition(2); // after the operator
        const_cast<SearchDelegate*>(this)->openedText = e->text();
    }

    void setModelData(QWidget* w, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* e = static_cast<QLineEdit*>(w);
        // A mask's unfilled places read as blanks: an untouched date is "  /  /".
        model->setData(index, e->inputMask().isEmpty() ? e->text() : e->displayText());
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* e = qobject_cast<QLineEdit*>(object);
        if (!e || e != editor)
            return QStyledItemDelegate::eventFilter(object, event);
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (isOptionsKey(key) && hasOptions(editorRow + 1)) {
                optionsFor(editorRow);
                return true;
            }
            // Escape undoes the typing; with nothing to undo it is the
            // window's, which closes as Exit does.
            if (key->matches(QKeySequence::Cancel) && e->text() == openedText)
                return false;
        }
        // The editor stays open, its text kept, while another window is in
        // front: a message, the options or the help.
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                return false;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }
};

// ------------------------------------------------------------ the grid

SearchGrid::SearchGrid(QWidget* parent)
    : QTableWidget(parent), delegate_(new SearchDelegate(this)) {
    setItemDelegate(delegate_);
}

void SearchGrid::finishEditing() {
    if (QLineEdit* e = delegate_->editor; e && state() == EditingState) {
        QScopedValueRollback hold(holdEditor_, true);
        commitData(e);
        closeEditor(e, QAbstractItemDelegate::NoHint);
    }
}

void SearchGrid::editCurrent() {
    if (state() != EditingState && currentIndex().isValid())
        edit(currentIndex());
    if (QLineEdit* e = delegate_->editor; e && state() == EditingState)
        e->setFocus();
}

// The cell editor is always shown: whenever the grid itself would keep the
// focus, the editor opens again on the current cell. Otherwise a click on
// that cell would only start opening it and swallow the keys struck next.
void SearchGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    {
        QScopedValueRollback closing(holdEditor_, true);
        QTableWidget::closeEditor(editor, hint);
    }
    if (holdEditor_ || state() == EditingState || !hasFocus())
        return;
    // Tab past the last row, or Shift+Tab before the first, leaves the grid.
    if (hint == QAbstractItemDelegate::EditNextItem ||
        hint == QAbstractItemDelegate::EditPreviousItem) {
        if (QWidget::focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem))
            return;
    }
    editCurrent();
}

void SearchGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    if (!holdEditor_)
        editCurrent();
}

bool SearchGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // A click on the selected cell opens its editor at once: a double click
    // means nothing more here.
    if (trigger == SelectedClicked)
        trigger = AllEditTriggers;
    return QTableWidget::edit(index, trigger, event);
}

void SearchGrid::keyPressEvent(QKeyEvent* event) {
    if (isOptionsKey(event) && currentIndex().isValid() && hasOptions(currentIndex().row() + 1)) {
        Q_EMIT optionsRequested(currentIndex().row());
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void SearchGrid::mousePressEvent(QMouseEvent* event) {
    pressed_ = indexAt(event->position().toPoint());
    if (pressed_.isValid() && pressed_.column() < kCriteriaColumn)
        return; // fixed columns
    QTableWidget::mousePressEvent(event);
}

void SearchGrid::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    const QModelIndex pressed = pressed_;
    pressed_ = QModelIndex();
    if (at.isValid() && at.column() < kCriteriaColumn) {
        if (at == pressed && at.column() == 1)
            Q_EMIT optionsRequested(at.row());
        return;
    }
    QTableWidget::mouseReleaseEvent(event);
}

void SearchGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (at.isValid() && at.column() < kCriteriaColumn) {
        pressed_ = at; // the second click of a double click is a press too
        return;
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

// Tab and the arrows move between criteria cells only.
QModelIndex SearchGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int row = currentIndex().isValid() ? currentIndex().row() : 0;
    int next = row;
    switch (action) {
    case MoveNext:
    case MoveDown:
        next = std::min(row + 1, rowCount() - 1);
        break;
    case MovePrevious:
    case MoveUp:
        next = std::max(row - 1, 0);
        break;
    case MoveLeft:
    case MoveRight:
        break;
    default:
        return QTableWidget::moveCursor(action, modifiers).siblingAtColumn(kCriteriaColumn);
    }
    return model()->index(next, kCriteriaColumn);
}

// ------------------------------------------------------------ the form

TMySearch::TMySearch(app::AppContext& context, Search& search, QWidget* parent)
    : QDialog(parent), ctx_(context), search_(search) {
    setObjectName(QStringLiteral("TMySearch"));
    FormCreate();
    geometry_ = app::FormGeometry::save(this, ctx_.prompter);
}

void TMySearch::FormCreate() {
    setWindowTitle(QStringLiteral("Search"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    resize(kDesignWidth, kDesignHeight);

    struct ButtonSpec {
        const char* name;
        const char* caption;
        int left, width;
        void (TMySearch::*handler)();
    };
    static constexpr ButtonSpec kButtons[] = {
        {"OkButton", "&Ok", 8, 80, &TMySearch::OkButtonClick},
        {"ExitButton", "E&xit", 96, 80, &TMySearch::ExitButtonClick},
        {"ClearButton", "&Clear Search", 184, 110, &TMySearch::ClearButtonClick},
        {"MoreButton", "&Find More", 302, 110, &TMySearch::MoreButtonClick},
        {"HelpButton", "&Help", 420, 80, &TMySearch::HelpButtonClick},
    };
    for (const ButtonSpec& b : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(b.caption), this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(b.left, 8, b.width, 27);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, h = b.handler] { (this->*h)(); });
        if (b.handler == &TMySearch::MoreButtonClick)
            more_ = button;
    }

    grid_ = new SearchGrid(this);
    grid_->setObjectName(QStringLiteral("SearchGrid"));
    grid_->setGeometry(8, 44, 620, 428);
    grid_->setColumnCount(3);
    grid_->setRowCount(kRows); // the header row is the grid's horizontal header
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setSectionsClickable(false);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    grid_->setTabKeyNavigation(true);
    grid_->setShowGrid(true);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->setMinimumSectionSize(1);
    grid_->verticalHeader()->setDefaultSectionSize(kDesignRowHeight);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(c == kCriteriaColumn
                               ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                               : Qt::ItemIsEnabled);
            grid_->setItem(r, c, item);
        }
    }
    grid_->delegate()->maskFor = [this](int row) { return SearchGridGetEditMask(row); };
    grid_->delegate()->operatorFor = [this](int row) { return rowOperator(row); };
    grid_->delegate()->optionsFor = [this](int gridRow) { showOptions(gridRow); };
    for (int r = 0; r < kRows; ++r) {
        if (const QString tip = optionsTip(r + 1); !tip.isEmpty()) {
            for (int c = 0; c < 3; ++c)
                grid_->item(r, c)->setToolTip(tip);
        }
    }
    connect(grid_, &SearchGrid::optionsRequested, this, [this](int row) { showOptions(row); });

    RowOperator.fill(OpEqual);
}

QString TMySearch::SearchGridGetEditMask(int row) const {
    return editMask(row, rowOperator(row), ctx_.formats.dateSeparator());
}

void TMySearch::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMySearch::FormShow() {
    // Scaled from the design size at each showing, then held there.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    app::placeDialog(this, geometry_, ctx_, {.moveUp10 = true});
    setFixedSize(size());
    criteria_.clear();

    const double f = ctx_.screenFactor;
    grid_->setHorizontalHeaderLabels(
        {QStringLiteral(" FIELD"), QString(), levelHeader(criteria_.Level())});
    grid_->setColumnWidth(0, scaled(200, f));
    grid_->setColumnWidth(1, scaled(20, f));
    grid_->setColumnWidth(2, scaled(378, f));
    grid_->resize(scaled(600, f) + 20, grid_->height());
    const int rowHeight = scaled(kDesignRowHeight, f);
    grid_->verticalHeader()->setDefaultSectionSize(rowHeight);
    grid_->horizontalHeader()->setFixedHeight(rowHeight);
    for (int row = 1; row <= kRows; ++row) {
        grid_->item(row - 1, 0)->setText(u' ' + ctx_.database.fieldNames[std::size_t(row - 1)]);
        grid_->item(row - 1, kCriteriaColumn)->setText(QString());
    }
    SetColors();
    more_->setEnabled(true);
    grid_->setFocus();
    grid_->setCurrentCell(0, kCriteriaColumn);
    grid_->scrollToTop();
    grid_->editCurrent();
}

void TMySearch::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Search);
}

void TMySearch::setLevelHeader() {
    grid_->horizontalHeaderItem(kCriteriaColumn)->setText(levelHeader(criteria_.Level()));
}

void TMySearch::clearCells() {
    grid_->finishEditing();
    for (int r = 0; r < kRows; ++r)
        grid_->item(r, kCriteriaColumn)->setText(QString());
}

bool TMySearch::SaveFields() {
    grid_->finishEditing();
    std::array<QString, kRows> cells;
    for (int r = 0; r < kRows; ++r)
        cells[std::size_t(r)] = grid_->item(r, kCriteriaColumn)->text();
    const SaveResult result = criteria_.SaveFields(cells, RowOperator, ctx_.formats);
    switch (result.status) {
    case SaveResult::Saved:
        return true;
    case SaveResult::NoCriteria:
        ctx_.prompter->error(kNoCriteriaText);
        grid_->editCurrent();
        return false;
    case SaveResult::Invalid:
        ctx_.prompter->error(kInvalidText);
        grid_->setCurrentCell(result.row - 1, kCriteriaColumn);
        grid_->editCurrent();
        return false;
    case SaveResult::TooMany:
        ctx_.prompter->error(tooManyItemsText());
        clearCells();
        more_->setEnabled(true);
        setLevelHeader();
        grid_->editCurrent();
        return false;
    }
    return false;
}

bool TMySearch::Doit() {
    BusyCursor busy(this);
    try {
        return search_.Doit(criteria_.items());
    } catch (const db::DatabaseError& e) {
        ctx_.prompter->error(QString::fromUtf8(e.what()));
        return false;
    }
}

void TMySearch::ClearSearch() {
    clearCells();
    criteria_.clear();
    more_->setEnabled(true);
    setLevelHeader();
    grid_->editCurrent();
}

void TMySearch::OkButtonClick() {
    more_->setEnabled(true);
    if (!SaveFields())
        return;
    if (Doit()) {
        accept();
        return;
    }
    ctx_.prompter->message({.kind = app::MessageKind::Information,
                            .caption = QStringLiteral("Notice"),
                            .text = kNoMatchText});
    ClearSearch();
}

void TMySearch::ExitButtonClick() {
    more_->setEnabled(true);
    reject();
}

void TMySearch::ClearButtonClick() {
    ClearSearch();
}

void TMySearch::MoreButtonClick() {
    if (SaveFields()) {
        clearCells();
        criteria_.nextLevel();
        setLevelHeader();
        if (criteria_.Level() >= kMaxLevels)
            more_->setEnabled(false);
    }
    grid_->editCurrent();
}

void TMySearch::HelpButtonClick() {
    app::showHelpTopic(this, QStringLiteral("Search Window"));
}

void TMySearch::showOptions(int gridRow) {
    const int field = gridRow + 1;
    if (!hasOptions(field))
        return;
    TSearchOptions options(ctx_, this);
    const QString label = ctx_.database.fieldNames[std::size_t(gridRow)];
    const bool operators = rowType(field) != RowType::Text;
    if (operators) {
        options.LoadList(label,
                         {operatorName(OpEqual), operatorName(OpGreater), operatorName(OpLess),
                          operatorName(OpBetween)},
                         RowOperator[std::size_t(gridRow)] - 1);
    } else if (field == kCheckOutField) {
        options.LoadList(label, {QStringLiteral("YES"), QStringLiteral("NO")}, -1);
    } else {
        const int list = db::dataListOfField(field);
        options.LoadList(label, list ? ctx_.lists[std::size_t(list - 1)] : QStringList(), -1);
    }
    if (options.exec() != QDialog::Accepted)
        return;

    // The editor reopens on the row, with the new mask or the chosen value.
    grid_->finishEditing();
    if (operators) {
        if (options.chosen() < 0)
            return;
        RowOperator[std::size_t(gridRow)] = options.chosen() + 1;
        if (grid_->currentRow() == gridRow)
            grid_->setCurrentCell(gridRow == kRows - 1 ? gridRow - 1 : gridRow + 1,
                                  kCriteriaColumn);
    } else if (options.chosen() >= 0) {
        grid_->item(gridRow, kCriteriaColumn)
            ->setText(options.ListBox1()->item(options.chosen())->text());
    }
    grid_->setCurrentCell(gridRow, kCriteriaColumn);
    grid_->editCurrent();
}

} // namespace shelvix::find
