#include "viewer/forms/tviewconfig.h"

#include "app/forms/colors.h"
#include "app/forms/controls.h"
#include "app/forms/helpviewer.h"
#include "app/forms/menukeys.h"
#include "app/prompter.h"
#include "db/fieldtable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <tuple>

namespace shelvix::viewer {

namespace {

constexpr int kDesignWidth = 620;
constexpr int kDesignHeight = 430;
constexpr int kPageHeight = kDesignHeight - 58 - 28; // the page control less its tabs
constexpr int kRows = db::kFieldCount;

constexpr std::array<const char*, TViewConfig::PageCount> kHelpTopics = {
    "Viewer Configuration Title",  "Viewer Configuration Look",  "Viewer Configuration Show",
    "Viewer Configuration Widths", "Viewer Configuration Order", "Viewer Configuration Names"};

// Names longer than the settings keep cannot be typed.
class NameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(kMaxFieldNameLength);
        return editor;
    }
};

QString keyName(int field) {
    return QString::fromLatin1(db::fieldInfo(field).name);
}

} // namespace

QString fontDescription(const app::FontSpec& font) {
    return QStringLiteral("%1pt %2").arg(font.size).arg(font.name);
}

// ------------------------------------------------------------ ConfigGrid

void ConfigGrid::commitEditing() {
    if (state() != EditingState)
        return;
    for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>()) {
        if (!editor->isVisible())
            continue;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

QString ConfigGrid::cell(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void ConfigGrid::setCell(int row, int column, const QString& text, bool editable) {
    auto* it = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable)
        flags |= Qt::ItemIsEditable;
    it->setFlags(flags);
    setItem(row, column, it);
}

// ----------------------------------------------------------- TViewConfig

TViewConfig::TViewConfig(app::AppContext& context, QWidget* parent)
    : QDialog(parent), ctx_(context), settings_(context.database) {
    setObjectName(QStringLiteral("TViewConfig"));
    setWindowTitle(QStringLiteral("Viewer Configuration"));
    setFixedSize(kDesignWidth, kDesignHeight);

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl"));
    pages_->setGeometry(8, 8, kDesignWidth - 16, kDesignHeight - 58);
    const std::array<const char*, PageCount> captions = {"&Title",          "&Look and Feel",
                                                         "Fields to &Show", "Field &Widths",
                                                         "Field &Order",    "Field &Names"};
    using Builder = void (TViewConfig::*)(QWidget*);
    const std::array<Builder, PageCount> builders = {
        &TViewConfig::buildTitlePage,  &TViewConfig::buildLookPage,  &TViewConfig::buildShowPage,
        &TViewConfig::buildWidthsPage, &TViewConfig::buildOrderPage, &TViewConfig::buildNamesPage};
    for (int i = 0; i < PageCount; ++i) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        (this->*builders[std::size_t(i)])(page);
        pages_->addTab(page, QString::fromLatin1(captions[std::size_t(i)]));
    }

    auto* exit = new QPushButton(QStringLiteral("E&xit"), this);
    exit->setObjectName(QStringLiteral("ExitButton"));
    exit->setGeometry(kDesignWidth / 2 - 110, kDesignHeight - 40, 100, 28);
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    auto* help = new QPushButton(QStringLiteral("&Help"), this);
    help->setObjectName(QStringLiteral("HelpButton"));
    help->setGeometry(kDesignWidth / 2 + 10, kDesignHeight - 40, 100, 28);
    connect(help, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

    app::installWindowKeys(); // Ctrl+PgDn and Ctrl+PgUp turn the pages

    // FormCreate: the check boxes from the settings.
    filling_ = true;
    showGridTitle_->setChecked(settings_.gridShowTitles);
    lookBoxes_[0]->setChecked(settings_.columnLines);
    lookBoxes_[1]->setChecked(settings_.rowLines);
    lookBoxes_[2]->setChecked(settings_.rowIndicator);
    lookBoxes_[3]->setChecked(settings_.fieldEditing);
    filling_ = false;
}

void TViewConfig::changed() {
    if (!filling_)
        Q_EMIT settingsChanged();
}

void TViewConfig::buildTitlePage(QWidget* page) {
    showGridTitle_ = new QCheckBox(QStringLiteral("Show Column Titles"), page);
    showGridTitle_->setObjectName(QStringLiteral("ShowGridTitle"));
    showGridTitle_->setGeometry(16, 16, 250, 22);
    connect(showGridTitle_, &QCheckBox::toggled, this, [this](bool on) {
        settings_.gridShowTitles = on;
        changed();
    });

    auto* fontBox = new QGroupBox(QStringLiteral("Title Font"), page);
    fontBox->setGeometry(16, 50, 420, 64);
    titleFont_ = new QLineEdit(fontBox);
    titleFont_->setObjectName(QStringLiteral("TitleFont"));
    titleFont_->setReadOnly(true);
    titleFont_->setGeometry(12, 26, 150, 24);
    app::setColorRole(titleFont_, "none");
    auto* fontColor = new QPushButton(QStringLiteral("Font Colo&r"), fontBox);
    fontColor->setObjectName(QStringLiteral("TitleFontColorButton"));
    fontColor->setGeometry(170, 24, 110, 28);
    connect(fontColor, &QPushButton::clicked, this, [this] { TitleFontColorButtonClick(); });
    auto* fontButton = new QPushButton(QStringLiteral("New &Font"), fontBox);
    fontButton->setObjectName(QStringLiteral("TitleFontButton"));
    fontButton->setGeometry(290, 24, 110, 28);
    connect(fontButton, &QPushButton::clicked, this, [this] { TitleFontButtonClick(); });

    auto* colorBox = new QGroupBox(QStringLiteral("Title Color"), page);
    colorBox->setGeometry(16, 124, 420, 64);
    titleShape_ = new QFrame(colorBox);
    titleShape_->setObjectName(QStringLiteral("TitleShape"));
    titleShape_->setFrameShape(QFrame::Box);
    titleShape_->setGeometry(12, 24, 260, 28);
    titleShape_->setAutoFillBackground(true);
    app::setColorRole(titleShape_, "none");
    auto* colorButton = new QPushButton(QStringLiteral("New &Color"), colorBox);
    colorButton->setObjectName(QStringLiteral("Button1"));
    colorButton->setGeometry(290, 24, 110, 28);
    connect(colorButton, &QPushButton::clicked, this, [this] { Button1Click(); });

    auto* alignBox = new QGroupBox(QStringLiteral("Title Alignment"), page);
    alignBox->setGeometry(16, 198, 420, 64);
    auto* group = new QButtonGroup(this);
    const std::array<std::pair<const char*, const char*>, 3> radios = {
        {{"TitleLeft", "Left Justify"},
         {"TitleCenter", "Center"},
         {"TitleRight", "Right Justify"}}};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(radios[std::size_t(i)].second), alignBox);
        r->setObjectName(QString::fromLatin1(radios[std::size_t(i)].first));
        r->setGeometry(12 + i * 135, 28, 130, 22);
        group->addButton(r, i + 1);
        alignment_[std::size_t(i)] = r;
    }
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on)
            return;
        settings_.gridTitleAlignment = id;
        changed();
    });
}

void TViewConfig::buildLookPage(QWidget* page) {
    const std::array<std::pair<const char*, const char*>, 4> boxes = {
        {{"ColumnLines", "Show lines between columns"},
         {"RowLines", "Show lines between rows"},
         {"RowIndicator", "Show current row indicator"},
         {"FieldEditing", "Allow field editing"}}};
    const std::array<bool db::DatabaseSettings::*, 4> members = {
        &db::DatabaseSettings::columnLines, &db::DatabaseSettings::rowLines,
        &db::DatabaseSettings::rowIndicator, &db::DatabaseSettings::fieldEditing};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        auto* c = new QCheckBox(QString::fromLatin1(boxes[i].second), page);
        c->setObjectName(QString::fromLatin1(boxes[i].first));
        c->setGeometry(16, 16 + int(i) * 28, 300, 22);
        bool db::DatabaseSettings::*member = members[i];
        connect(c, &QCheckBox::toggled, this, [this, member](bool on) {
            settings_.*member = on;
            changed();
        });
        lookBoxes_[i] = c;
    }

    auto* colorBox = new QGroupBox(QStringLiteral("Cell Color"), page);
    colorBox->setGeometry(16, 134, 420, 64);
    cellColorShape_ = new QFrame(colorBox);
    cellColorShape_->setObjectName(QStringLiteral("CellColorShape"));
    cellColorShape_->setFrameShape(QFrame::Box);
    cellColorShape_->setGeometry(12, 24, 260, 28);
    cellColorShape_->setAutoFillBackground(true);
    app::setColorRole(cellColorShape_, "none");
    auto* colorButton = new QPushButton(QStringLiteral("New &Color"), colorBox);
    colorButton->setObjectName(QStringLiteral("NewColorBUtton"));
    colorButton->setGeometry(290, 24, 110, 28);
    connect(colorButton, &QPushButton::clicked, this, [this] { NewColorBUttonClick(); });

    auto* fontBox = new QGroupBox(QStringLiteral("Cell Font"), page);
    fontBox->setGeometry(16, 208, 420, 64);
    gridFont_ = new QLineEdit(fontBox);
    gridFont_->setObjectName(QStringLiteral("GridFont"));
    gridFont_->setReadOnly(true);
    gridFont_->setGeometry(12, 26, 150, 24);
    app::setColorRole(gridFont_, "none");
    auto* fontColor = new QPushButton(QStringLiteral("Font Colo&r"), fontBox);
    fontColor->setObjectName(QStringLiteral("FontColorButton"));
    fontColor->setGeometry(170, 24, 110, 28);
    connect(fontColor, &QPushButton::clicked, this, [this] { FontColorButtonClick(); });
    auto* fontButton = new QPushButton(QStringLiteral("New &Font"), fontBox);
    fontButton->setObjectName(QStringLiteral("NewFontButton"));
    fontButton->setGeometry(290, 24, 110, 28);
    connect(fontButton, &QPushButton::clicked, this, [this] { NewFontButtonClick(); });
}

ConfigGrid* TViewConfig::makeGrid(QWidget* page, const char* name, int columns) {
    auto* grid = new ConfigGrid(kRows, columns, page);
    grid->setObjectName(QString::fromLatin1(name));
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setTabKeyNavigation(false);
    return grid;
}

void TViewConfig::buildShowPage(QWidget* page) {
    auto* text = new QLabel(
        QStringLiteral("For each field that you would like displayed in the Viewer, select "
                       "'Yes'.  If you do not wish a field to appear in the Viewer, then select "
                       "'No' for that field.  Double Click on the field to change between "
                       "'Yes' and 'No'."),
        page);
    text->setObjectName(QStringLiteral("ShowInstructions"));
    text->setWordWrap(true);
    text->setGeometry(16, 8, 420, 64);
    fieldsToDisplay_ = makeGrid(page, "FieldsToDisplay", 2);
    fieldsToDisplay_->setHorizontalHeaderLabels(
        {QStringLiteral("FIELD"), QStringLiteral("DISPLAY IT")});
    fieldsToDisplay_->setSelectionBehavior(QAbstractItemView::SelectItems);
    fieldsToDisplay_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fieldsToDisplay_->move(16, 76);
    connect(fieldsToDisplay_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int column) { FieldsToDisplayDblClick(row, column); });
    app::controls::toggleWithSpace(
        fieldsToDisplay_, 1, [this](int row, int column) { FieldsToDisplayDblClick(row, column); });
}

void TViewConfig::buildWidthsPage(QWidget* page) {
    fieldWidthGrid_ = makeGrid(page, "FieldWidthGrid", 2);
    fieldWidthGrid_->setHorizontalHeaderLabels({QStringLiteral("FIELD"), QStringLiteral("WIDTH")});
    fieldWidthGrid_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    fieldWidthGrid_->move(16, 12);
}

void TViewConfig::buildOrderPage(QWidget* page) {
    auto* field = new QLabel(QStringLiteral("Field"), page);
    field->setObjectName(QStringLiteral("OrderFieldLabel"));
    field->setGeometry(16, 8, 200, 18);
    auto* ordering = new QLabel(QStringLiteral("Ordering"), page);
    ordering->setObjectName(QStringLiteral("OrderingLabel"));
    ordering->setGeometry(260, 8, 150, 18);
    fieldOrderGrid_ = makeGrid(page, "FieldOrderGrid", 1);
    fieldOrderGrid_->horizontalHeader()->hide();
    fieldOrderGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fieldOrderGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fieldOrderGrid_->move(16, 30);

    const std::array<std::pair<const char*, const char*>, 3> buttons = {
        {{"OrderUp", "&Up"}, {"OrderDown", "&Down"}, {"OrderDefaults", "D&efaults"}}};
    const std::array<void (TViewConfig::*)(), 3> handlers = {
        &TViewConfig::OrderUpClick, &TViewConfig::OrderDownClick, &TViewConfig::OrderDefaultsClick};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* b = new QPushButton(QString::fromLatin1(buttons[i].second), page);
        b->setObjectName(QString::fromLatin1(buttons[i].first));
        b->setGeometry(280, 40 + int(i) * 40, 100, 28);
        auto handler = handlers[i];
        connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    }
}

void TViewConfig::buildNamesPage(QWidget* page) {
    fieldNameGrid_ = makeGrid(page, "FieldNameGrid", 2);
    fieldNameGrid_->setHorizontalHeaderLabels(
        {QStringLiteral("FIELD"), QStringLiteral("NAME TO USE")});
    fieldNameGrid_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    fieldNameGrid_->setItemDelegateForColumn(1, new NameDelegate(fieldNameGrid_));
    fieldNameGrid_->move(8, 12);
    connect(fieldNameGrid_, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (column == 1)
            nameEdited(row);
    });
}

// ---------------------------------------------------------------- showing

void TViewConfig::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TViewConfig::FormShow() {
    filling_ = true;
    showFonts();
    if (settings_.gridTitleAlignment >= 1 && settings_.gridTitleAlignment <= 3)
        alignment_[std::size_t(settings_.gridTitleAlignment - 1)]->setChecked(true);
    fillGrids();
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
    paintSwatches();
    filling_ = false;
}

void TViewConfig::fillGrids() {
    const ViewConfigPages p = pagesFromSettings(settings_);
    for (int row = 0; row < kRows; ++row) {
        const QString& name = p.names[row];
        fieldsToDisplay_->setCell(row, 0, name, false);
        fieldsToDisplay_->setCell(row, 1, p.shown[row], false);
        fieldWidthGrid_->setCell(row, 0, name, false);
        fieldWidthGrid_->setCell(row, 1, p.widths[row], true);
        fieldNameGrid_->setCell(row, 0, keyName(row + 1), false);
        fieldNameGrid_->setCell(row, 1, name, true);
        const int field = p.order[std::size_t(row)];
        setOrderRow(row, field, p.names[field - 1]);
    }
    sizeGrid(fieldsToDisplay_, {200, 100});
    sizeGrid(fieldWidthGrid_, {200, 100});
    sizeGrid(fieldOrderGrid_, {200});
    sizeGrid(fieldNameGrid_, {200, 200});
    fieldOrderGrid_->setCurrentCell(0, 0);
}

// Column widths and row heights are design pixels times the screen factor,
// since placement scales no view's contents. The grid itself gets its design
// size, which placement scales: its columns plus room for the scroll bar, and
// no taller than its page (not yet laid out, so taken from the design).
void TViewConfig::sizeGrid(ConfigGrid* grid, std::initializer_list<int> columnWidths) {
    const double f = ctx_.screenFactor > 0 ? ctx_.screenFactor : 1.0;
    int width = 0;
    int column = 0;
    for (int w : columnWidths) {
        grid->setColumnWidth(column++, int(w * f + 0.5));
        width += w;
    }
    const int designRow = grid->verticalHeader()->defaultSectionSize();
    const int rowHeight = int(designRow * f + 0.5);
    for (int row = 0; row < grid->rowCount(); ++row)
        grid->setRowHeight(row, rowHeight);
    const int height = kPageHeight - grid->y() - 8;
    grid->resize(width + 20 + 2 * grid->frameWidth(), std::max(height, designRow * 4));
}

void TViewConfig::showFonts() {
    // Each font is its own sample: its colour on the background it is drawn on.
    for (auto [edit, font, background] :
         {std::tuple{titleFont_, &settings_.gridTitleFont, settings_.gridTitleBackground},
          std::tuple{gridFont_, &settings_.gridFont, settings_.gridCellColor}}) {
        edit->setText(fontDescription(*font));
        QPalette pal = edit->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            pal.setColor(group, QPalette::Text, app::toQColor(font->color));
            pal.setColor(group, QPalette::Base, app::toQColor(background));
        }
        edit->setPalette(pal);
    }
}

void TViewConfig::paintSwatches() {
    for (auto [shape, color] : {std::pair{titleShape_, settings_.gridTitleBackground},
                                std::pair{cellColorShape_, settings_.gridCellColor}}) {
        QPalette pal = shape->palette();
        pal.setColor(QPalette::Window, app::toQColor(color));
        shape->setPalette(pal);
        shape->update();
    }
}

// ---------------------------------------------------------------- handlers

void TViewConfig::chooseFont(app::FontSpec& font) {
    const std::optional<app::FontSpec> chosen =
        ctx_.prompter->chooseFont({.initial = font, .effects = true});
    if (!chosen)
        return;
    font = *chosen;
    showFonts();
    changed();
}

void TViewConfig::chooseColor(int& color) {
    const std::optional<int> chosen = ctx_.prompter->chooseColor(color);
    if (!chosen)
        return;
    color = *chosen;
    paintSwatches();
    showFonts();
    changed();
}

void TViewConfig::TitleFontButtonClick() {
    chooseFont(settings_.gridTitleFont);
}

void TViewConfig::Button1Click() {
    chooseColor(settings_.gridTitleBackground);
}

void TViewConfig::TitleFontColorButtonClick() {
    chooseColor(settings_.gridTitleFont.color);
}

void TViewConfig::FontColorButtonClick() {
    chooseColor(settings_.gridFont.color);
}

void TViewConfig::NewFontButtonClick() {
    chooseFont(settings_.gridFont);
}

void TViewConfig::NewColorBUttonClick() {
    chooseColor(settings_.gridCellColor);
}

void TViewConfig::FieldsToDisplayDblClick(int row, int column) {
    if (column != 1 || row < 0 || row >= kRows)
        return;
    fieldsToDisplay_->item(row, 1)->setText(toggledYesNo(fieldsToDisplay_->cell(row, 1)));
}

void TViewConfig::setOrderRow(int row, int field, const QString& name) {
    fieldOrderGrid_->setCell(row, 0, name, false);
    fieldOrderGrid_->item(row, 0)->setData(Qt::UserRole, field);
}

void TViewConfig::swapOrderRows(int a, int b) {
    QTableWidgetItem* first = fieldOrderGrid_->takeItem(a, 0);
    QTableWidgetItem* second = fieldOrderGrid_->takeItem(b, 0);
    fieldOrderGrid_->setItem(a, 0, second);
    fieldOrderGrid_->setItem(b, 0, first);
    fieldOrderGrid_->setCurrentCell(b, 0);
}

void TViewConfig::OrderUpClick() {
    const int row = fieldOrderGrid_->currentRow();
    if (row > 0)
        swapOrderRows(row, row - 1);
}

void TViewConfig::OrderDownClick() {
    const int row = fieldOrderGrid_->currentRow();
    if (row >= 0 && row < kRows - 1)
        swapOrderRows(row, row + 1);
}

void TViewConfig::OrderDefaultsClick() {
    if (ctx_.prompter->confirm(
            QStringLiteral("Re-Order"),
            QStringLiteral("This will set the order of fields to the program defaults.  "
                           "Continue?")) != app::Button::Yes)
        return;
    for (int row = 0; row < kRows; ++row)
        setOrderRow(row, row + 1, fieldNameGrid_->cell(row, 1));
}

// A renamed field shows its new name on the other pages at once; the order
// rows carry their field, so nothing depends on the text.
void TViewConfig::nameEdited(int row) {
    if (filling_ || row < 0 || row >= kRows)
        return;
    const QString name = fieldNameGrid_->cell(row, 1);
    if (QTableWidgetItem* it = fieldsToDisplay_->item(row, 0))
        it->setText(name);
    if (QTableWidgetItem* it = fieldWidthGrid_->item(row, 0))
        it->setText(name);
    for (int r = 0; r < kRows; ++r)
        if (QTableWidgetItem* it = fieldOrderGrid_->item(r, 0);
            it && it->data(Qt::UserRole).toInt() == row + 1)
            it->setText(name);
}

void TViewConfig::HelpButtonClick() {
    app::showHelpTopic(this, QString::fromLatin1(kHelpTopics[std::size_t(pages_->currentIndex())]));
}

// ---------------------------------------------------------------- closing

bool TViewConfig::FormCloseQuery() {
    fieldWidthGrid_->commitEditing();
    fieldNameGrid_->commitEditing();
    QStringList names;
    for (int row = 0; row < kRows; ++row)
        names << fieldNameGrid_->cell(row, 1);
    const std::optional<QString> duplicate = duplicateFieldName(names);
    if (!duplicate)
        return true;
    ctx_.prompter->error(duplicateNameMessage(*duplicate));
    pages_->setCurrentIndex(NamesPage);
    fieldNameGrid_->setFocus();
    return false;
}

void TViewConfig::FormClose() {
    ViewConfigPages p;
    for (int row = 0; row < kRows; ++row) {
        p.shown << fieldsToDisplay_->cell(row, 1);
        p.widths << fieldWidthGrid_->cell(row, 1);
        p.names << fieldNameGrid_->cell(row, 1);
        p.order.push_back(fieldOrderGrid_->item(row, 0)->data(Qt::UserRole).toInt());
    }
    storePages(p, settings_);
    filling_ = true;
    for (int row = 0; row < kRows; ++row)
        fieldWidthGrid_->item(row, 1)->setText(p.widths[row]);
    filling_ = false;
}

void TViewConfig::done(int result) {
    if (!FormCloseQuery())
        return;
    FormClose();
    QDialog::done(result);
}

} // namespace shelvix::viewer
