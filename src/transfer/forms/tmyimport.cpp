#include "transfer/forms/tmyimport.h"

#include "app/forms/colors.h"
#include "app/forms/controls.h"
#include "app/forms/helpviewer.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "app/screensize.h"
#include "db/engine/error.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"
#include "transfer/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace shelvix::transfer {

namespace {

using namespace app::controls;

// The design height of a grid row.
constexpr int kRowHeight = 20;

constexpr int kDesignWidth = 640;
constexpr int kDesignHeight = 450;
constexpr int kSourceRole = Qt::UserRole;

} // namespace

TMyImport::TMyImport(app::AppContext& context, Kind kind, std::unique_ptr<RecordReader> reader,
                     QWidget* parent)
    : QDialog(parent), ctx_(context), kind_(kind), reader_(std::move(reader)) {
    setObjectName(QStringLiteral("TMyImport"));
    setWindowTitle(QStringLiteral("ASCII Delimited Import"));
    resize(kDesignWidth, kDesignHeight);

    auto* help = label(this, "InstructionLabel",
                       QStringLiteral("Line up the Shelvix fields with the import fields using the "
                                      "Up and Down buttons.  Double-click a USE cell to switch "
                                      "between Yes and No."),
                       QRect(10, 6, 620, 36));
    help->setWordWrap(true);

    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("ImportGrid"));
    grid_->setGeometry(10, 46, 420, 394);
    grid_->setColumnCount(3);
    grid_->setHorizontalHeaderLabels(
        {QStringLiteral("SHELVIX FIELDS"), QStringLiteral("IMPORT FIELDS"), QStringLiteral("USE")});
    setUpFieldGrid(grid_);
    connect(grid_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int column) { ImportGridDblClick(row, column); });
    toggleWithSpace(grid_, 2, [this](int row, int column) { ImportGridDblClick(row, column); });

    label(this, "FieldLabel", QStringLiteral("Field"), QRect(450, 150, 85, 16));
    label(this, "AlignmentLabel", QStringLiteral("Alignment"), QRect(450, 166, 85, 16));
    auto* up = button(this, "UpButton", QStringLiteral("&Up"), QRect(450, 186, 85, 27));
    connect(up, &QPushButton::clicked, this, [this] { UpButtonClick(); });
    auto* down = button(this, "DownButton", QStringLiteral("&Down"), QRect(450, 218, 85, 27));
    connect(down, &QPushButton::clicked, this, [this] { DownButtonClick(); });

    label(this, "ImportLabel", QStringLiteral("Import"), QRect(540, 60, 90, 16));
    label(this, "CountLabel", QStringLiteral("Count"), QRect(540, 76, 90, 16));
    count_ = label(this, "ImportCount", QString(), QRect(540, 96, 90, 24));
    count_->setFrameShape(QFrame::Panel);
    count_->setFrameShadow(QFrame::Sunken);
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Off, books whose ISBN is there already are added and counted.
    skipDuplicates_ = new QCheckBox(QStringLiteral("Skip Duplicate ISBNs"), this);
    skipDuplicates_->setObjectName(QStringLiteral("SkipDuplicates"));
    skipDuplicates_->setGeometry(450, 124, 180, 22);

    skipFirst_ = new QCheckBox(QStringLiteral("Skip First Record"), this);
    skipFirst_->setObjectName(QStringLiteral("SkipFirst"));
    skipFirst_->setGeometry(450, 270, 180, 22);
    skipFirst_->setChecked(ctx_.database.importSkipFirst); // FormCreate
    connect(skipFirst_, &QCheckBox::clicked, this, [this] { SkipFirstClick(); });

    start_ = button(this, "StartButton", QStringLiteral("&Start Import"), QRect(450, 330, 120, 27));
    connect(start_, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    exit_ = button(this, "ExitButton", QStringLiteral("E&xit"), QRect(450, 365, 120, 27));
    connect(exit_, &QPushButton::clicked, this, [this] { ExitButtonClick(); });
    auto* helpButton =
        button(this, "HelpButton", QStringLiteral("&Help"), QRect(450, 400, 120, 27));
    connect(helpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

    // A text file may be an export whose columns a preset knows.
    if (kind_ == Ascii) {
        auto* presetLabel =
            label(this, "PresetLabel", QStringLiteral("&Preset"), QRect(450, 300, 50, 22));
        presetBox_ = new QComboBox(this);
        presetBox_->setObjectName(QStringLiteral("PresetBox"));
        presetBox_->setGeometry(500, 298, 130, 24);
        for (Preset p : {Preset::None, Preset::Goodreads, Preset::LibraryThing})
            presetBox_->addItem(presetCaption(p), int(p));
        presetLabel->setBuddy(presetBox_);
        const Preset found = detectPreset(reader_->headerTexts());
        presetBox_->setCurrentIndex(presetBox_->findData(int(found)));
        if (found != Preset::None)
            preset_ = std::make_unique<PresetReader>(*reader_, found);
        connect(presetBox_, &QComboBox::currentIndexChanged, this,
                [this] { choosePreset(Preset(presetBox_->currentData().toInt())); });
    }
    // The grid's contents belong to the design, before any scaling.
    fillGrid();
}

RecordReader& TMyImport::source() const {
    return preset_ ? *preset_ : *reader_;
}

void TMyImport::choosePreset(Preset preset) {
    if (running_)
        return;
    preset_.reset();
    if (preset != Preset::None)
        preset_ = std::make_unique<PresetReader>(*reader_, preset);
    fillGrid();
}

// Source fields lined up by the preset's columns, else by the book fields a
// text file's first line names, else by place.
void TMyImport::fillGrid() {
    const RecordReader& src = source();
    const int sources = src.fieldCount();
    const std::vector<std::string> names = src.fieldNames();
    FieldMap map;
    if (preset_)
        map = preset_->fieldMap();
    else if (kind_ == Ascii)
        map = headerFieldMap(src.headerTexts(), &ctx_.database.fieldNames);
    const auto rows = importRowsForMap(map, sources);
    grid_->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        grid_->setItem(
            r, 0, cell(r < db::kFieldCount ? ctx_.database.fieldNames[std::size_t(r)] : QString()));
        const int s = rows[std::size_t(r)].source;
        auto* name =
            cell(s >= 0 ? db::fromWindows1252(names[std::size_t(s)]) : QStringLiteral("<EMPTY>"));
        name->setData(kSourceRole, s);
        grid_->setItem(r, 1, name);
        const bool use = rows[std::size_t(r)].use;
        grid_->setItem(r, 2,
                       cell(s < 0 ? QString()
                            : use ? QStringLiteral("Yes")
                                  : QStringLiteral("No")));
    }
    grid_->setCurrentCell(0, 1);
}

TMyImport::~TMyImport() = default;

void TMyImport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMyImport::FormShow() {
    if (kind_ == DBase) {
        setWindowTitle(QStringLiteral("DBase File Import"));
        skipFirst_->hide();
        skipFirst_->setEnabled(false);
    } else {
        setWindowTitle(QStringLiteral("Ascii Delimited Text Import"));
    }
    const int percent = app::scalePercent(ctx_.screenFactor);
    const int widths[] = {179, 179, 38};
    for (int c = 0; c < 3; ++c)
        grid_->setColumnWidth(c, app::scaleValue(widths[c], percent));
    grid_->verticalHeader()->setDefaultSectionSize(app::scaleValue(kRowHeight, percent));
    SetColors();
}

void TMyImport::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
}

std::vector<ImportRow> TMyImport::gridRows() const {
    std::vector<ImportRow> rows(std::size_t(grid_->rowCount()));
    for (int r = 0; r < grid_->rowCount(); ++r) {
        rows[std::size_t(r)].source = grid_->item(r, 1)->data(kSourceRole).toInt();
        rows[std::size_t(r)].use = grid_->item(r, 2)->text() == QLatin1String("Yes");
    }
    return rows;
}

void TMyImport::UpButtonClick() {
    if (!running_)
        moveCurrentRow(grid_, -1, 1, 2);
}

void TMyImport::DownButtonClick() {
    if (!running_)
        moveCurrentRow(grid_, 1, 1, 2);
}

void TMyImport::ImportGridDblClick(int row, int column) {
    if (running_ || column != 2 || row < 0)
        return;
    QTableWidgetItem* use = grid_->item(row, 2);
    if (use->text() == QLatin1String("Yes"))
        use->setText(QStringLiteral("No"));
    else if (use->text() == QLatin1String("No"))
        use->setText(QStringLiteral("Yes"));
}

void TMyImport::SkipFirstClick() {
    ctx_.database.importSkipFirst = skipFirst_->isChecked();
}

void TMyImport::showCount(std::uint64_t count) {
    count_->setText(db::DisplayFormats::group(QString::number(count), 0, QChar(u','), 0) + u' ');
    count_->repaint();
}

void TMyImport::StartButtonClick() {
    if (running_ || !ctx_.MyTable)
        return;
    RecordReader& from = source();
    const FieldMap map = fieldMapFromRows(gridRows(), from.fieldCount());
    running_ = true;
    cancelRequested_ = false;
    start_->setEnabled(false);
    grid_->setEnabled(false);
    if (presetBox_)
        presetBox_->setEnabled(false);
    exit_->setText(QStringLiteral("&Cancel"));
    QApplication::setOverrideCursor(Qt::BusyCursor);

    skipDuplicates_->setEnabled(false);
    Importer importer(*ctx_.MyTable, ctx_.formats);
    importer.setSkipDuplicates(skipDuplicates_->isChecked());
    ImportStats stats;
    QString failure;
    QElapsedTimer shown;
    shown.start();
    showCount(0);
    try {
        importer.run(from, map, kind_ == Ascii && ctx_.database.importSkipFirst, stats,
                     [&](const ImportStats& s) {
                         // The counter and a Cancel click a few times a second.
                         if (shown.elapsed() >= 40) {
                             showCount(s.imported);
                             QApplication::processEvents();
                             shown.restart();
                         }
                         return !cancelRequested_;
                     });
    } catch (const std::exception& e) {
        failure = db::errorText(e);
    }
    showCount(stats.imported);
    QApplication::restoreOverrideCursor();
    running_ = false;

    auto* prompter = ctx_.prompter;
    if (!failure.isEmpty()) {
        prompter->error(failure + QStringLiteral("\n\n") + importCancelledMessage(stats.imported));
    } else if (stats.cancelled) {
        prompter->message({app::MessageKind::Information, QStringLiteral("Notice"),
                           importCancelledMessage(stats.imported), app::Button::Ok});
    } else {
        prompter->message({app::MessageKind::Information, QStringLiteral("Ok"),
                           importCompleteMessage(stats), app::Button::Ok});
    }
    const QString warning = importWarning(stats);
    if (!warning.isEmpty())
        prompter->message(
            {app::MessageKind::Warning, QStringLiteral("Warning"), warning, app::Button::Ok});
    accept();
}

void TMyImport::ExitButtonClick() {
    reject();
}

void TMyImport::reject() {
    if (running_) {
        cancelRequested_ = true;
        return;
    }
    QDialog::reject();
}

void TMyImport::HelpButtonClick() {
    app::showHelpTopic(this, QStringLiteral("Import Window"));
}

} // namespace shelvix::transfer
