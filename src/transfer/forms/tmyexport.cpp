#include "transfer/forms/tmyexport.h"

#include "app/forms/colors.h"
#include "app/forms/controls.h"
#include "app/forms/helpviewer.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "app/screensize.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"
#include "transfer/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

namespace shelvix::transfer {

namespace {

using namespace app::controls;

// The design height of a grid row.
constexpr int kRowHeight = 20;

constexpr int kFieldRole = Qt::UserRole;

QString yesNo(bool yes) {
    return yes ? QStringLiteral("Yes") : QStringLiteral("No");
}

} // namespace

TMyExport::TMyExport(app::AppContext& context, app::SearchBracket& search, QWidget* parent)
    : QDialog(parent), ctx_(context), search_(search) {
    setObjectName(QStringLiteral("TMyExport"));
    setWindowTitle(QStringLiteral("Export"));
    resize(640, 460);

    grid_ = new QTableWidget(db::kFieldCount, 2, this);
    grid_->setObjectName(QStringLiteral("ExportGrid"));
    grid_->setGeometry(10, 10, 320, 440);
    grid_->setHorizontalHeaderLabels({QStringLiteral("FIELD"), QStringLiteral("EXPORT IT")});
    setUpFieldGrid(grid_);
    connect(grid_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int column) { ExportGridDblClick(row, column); });
    toggleWithSpace(grid_, 1, [this](int row, int column) { ExportGridDblClick(row, column); });

    label(this, "FieldLabel", QStringLiteral("Field"), QRect(345, 14, 85, 16));
    label(this, "OrderingLabel", QStringLiteral("Ordering"), QRect(345, 30, 85, 16));
    auto* up = button(this, "UpButton", QStringLiteral("&Up"), QRect(345, 50, 85, 27));
    connect(up, &QPushButton::clicked, this, [this] { UpButtonClick(); });
    auto* down = button(this, "DownButton", QStringLiteral("&Down"), QRect(345, 82, 85, 27));
    connect(down, &QPushButton::clicked, this, [this] { DownButtonClick(); });
    auto* defaults =
        button(this, "DefaultsButton", QStringLiteral("D&efaults"), QRect(345, 114, 85, 27));
    connect(defaults, &QPushButton::clicked, this, [this] { DefaultsButtonClick(); });

    label(this, "NotesLabel", QStringLiteral("NOTES"), QRect(450, 14, 180, 16));
    auto* notes = label(this, "InstructionLabel",
                        QStringLiteral("Double-click a field to switch between Yes and No."),
                        QRect(450, 30, 180, 80));
    notes->setWordWrap(true);
    notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    firstRow_ = new QCheckBox(QStringLiteral("&First Record Contains Field Names"), this);
    firstRow_->setObjectName(QStringLiteral("FirstRow"));
    firstRow_->setGeometry(345, 150, 285, 22);
    firstRow_->setChecked(ctx_.database.exportFirstRow); // FormCreate
    connect(firstRow_, &QCheckBox::clicked, this, [this] { FirstRowClick(); });

    auto* what = new QGroupBox(QStringLiteral("What to Export"), this);
    what->setObjectName(QStringLiteral("WhatPanel"));
    what->setGeometry(345, 180, 285, 76);
    entire_ = radio(what, "ExportEntire", QStringLiteral("Export Entire Database"),
                    QRect(12, 22, 260, 22));
    searchOnly_ = radio(what, "ExportSearch", QStringLiteral("Export Search Criteria"),
                        QRect(12, 46, 260, 22));

    auto* how = new QGroupBox(QStringLiteral("How To Export"), this);
    how->setObjectName(QStringLiteral("HowPanel"));
    how->setGeometry(345, 262, 285, 76);
    ascii_ = radio(how, "AsciiFile", QStringLiteral("Ascii Delimited Text File"),
                   QRect(12, 22, 260, 22));
    dbase_ = radio(how, "DBaseFile", QStringLiteral("DBase File (DBF)"), QRect(12, 46, 260, 22));
    connect(ascii_, &QRadioButton::clicked, this, [this] { AsciiFileClick(); });
    connect(dbase_, &QRadioButton::clicked, this, [this] { DBaseFileClick(); });

    label(this, "ProgressLabel", QStringLiteral("Export Progress"), QRect(345, 344, 285, 16));
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName(QStringLiteral("MyGauge"));
    gauge_->setGeometry(345, 362, 285, 20);
    gauge_->setRange(0, 1000);
    gauge_->setValue(0);
    gauge_->setTextVisible(false);
    gauge_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #ff0000; }"));

    auto* start =
        button(this, "StartExportButton", QStringLiteral("&Start Export"), QRect(345, 415, 90, 27));
    connect(start, &QPushButton::clicked, this, [this] { StartExportButtonClick(); });
    auto* exitButton = button(this, "ExitButton", QStringLiteral("E&xit"), QRect(442, 415, 90, 27));
    connect(exitButton, &QPushButton::clicked, this, [this] { ExitButtonClick(); });
    auto* help = button(this, "HelpButton", QStringLiteral("&Help"), QRect(539, 415, 90, 27));
    connect(help, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

    fillGrid(exportRows(ctx_.database));
    grid_->setCurrentCell(0, 0);
}

void TMyExport::fillGrid(const std::vector<ExportRow>& rows) {
    for (int r = 0; r < db::kFieldCount; ++r) {
        const ExportRow& row = rows[std::size_t(r)];
        auto* name = cell(ctx_.database.fieldNames[std::size_t(row.field - 1)]);
        name->setData(kFieldRole, row.field);
        grid_->setItem(r, 0, name);
        grid_->setItem(r, 1, cell(yesNo(row.use)));
    }
}

std::vector<ExportRow> TMyExport::gridRows() const {
    std::vector<ExportRow> rows;
    for (int r = 0; r < grid_->rowCount(); ++r)
        rows.push_back({grid_->item(r, 0)->data(kFieldRole).toInt(),
                        grid_->item(r, 1)->text() == QLatin1String("Yes")});
    return rows;
}

void TMyExport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMyExport::FormShow() {
    const int percent = app::scalePercent(ctx_.screenFactor);
    grid_->setColumnWidth(0, app::scaleValue(200, percent));
    grid_->setColumnWidth(1, app::scaleValue(100, percent));
    grid_->verticalHeader()->setDefaultSectionSize(app::scaleValue(kRowHeight, percent));
    SetColors();
    if (search_.searchOn()) {
        searchOnly_->setEnabled(true);
        searchOnly_->setChecked(true);
    } else {
        entire_->setChecked(true);
        searchOnly_->setEnabled(false);
    }
    if (ctx_.database.exportFileType == 2) {
        dbase_->setChecked(true);
        DBaseFileClick();
    } else {
        ascii_->setChecked(true);
    }
}

void TMyExport::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
}

void TMyExport::ExportGridDblClick(int row, int column) {
    if (running_ || column != 1 || row < 0)
        return;
    QTableWidgetItem* mark = grid_->item(row, 1);
    mark->setText(yesNo(mark->text() != QLatin1String("Yes")));
}

void TMyExport::UpButtonClick() {
    if (!running_)
        moveCurrentRow(grid_, -1, 0, 1);
}

void TMyExport::DownButtonClick() {
    if (!running_)
        moveCurrentRow(grid_, 1, 0, 1);
}

void TMyExport::DefaultsButtonClick() {
    if (ctx_.prompter->message({app::MessageKind::Question, QStringLiteral("Re-Order"),
                                QString::fromLatin1(kReorderQuestion),
                                app::Button::Yes | app::Button::No}) != app::Button::Yes)
        return;
    fillGrid(defaultExportRows());
}

void TMyExport::FirstRowClick() {
    ctx_.database.exportFirstRow = firstRow_->isChecked();
}

void TMyExport::AsciiFileClick() {
    firstRow_->show();
    firstRow_->setEnabled(true);
}

void TMyExport::DBaseFileClick() {
    firstRow_->hide();
    firstRow_->setEnabled(false);
}

void TMyExport::UpdateConfigs() {
    updateConfigs(ctx_.database, gridRows());
}

void TMyExport::done(int result) {
    if (running_)
        return; // closing waits for the export
    ctx_.database.exportFileType = ascii_->isChecked() ? 1 : 2;
    UpdateConfigs();
    QDialog::done(result);
}

void TMyExport::StartExportButtonClick() {
    if (running_)
        return;
    UpdateConfigs();
    const std::vector<int> fields = calcIndexOrder(ctx_.database);
    if (fields.empty()) {
        ctx_.prompter->error(QString::fromLatin1(kNoFieldsSelected));
        return;
    }
    const bool dbf = !ascii_->isChecked();
    app::FileRequest request;
    request.mode = app::FileMode::Save;
    request.title = QStringLiteral("Export Data");
    request.filter = dbf ? QStringLiteral("DBase (*.DBF)|*.DBF")
                         : QStringLiteral("Ascii Delimited Text (*.TXT)|*.TXT");
    request.defaultExtension = dbf ? QStringLiteral("DBF") : QStringLiteral("TXT");
    request.initialPath = ctx_.global.lastExportFile;
    request.flags =
        app::FileFlag::OverwritePrompt | app::FileFlag::HideReadOnly | app::FileFlag::PathMustExist;
    const auto path = ctx_.prompter->chooseFile(request);
    if (!path)
        return;
    ctx_.global.lastExportFile = *path;
    if (dbf && !hasDbfExtension(*path)) {
        ctx_.prompter->error(QString::fromLatin1(kInvalidFileType));
        return;
    }
    run(dbf ? ExportFormat::DBase : ExportFormat::Delimited, *path, fields);
}

void TMyExport::run(ExportFormat format, const QString& path, const std::vector<int>& fields) {
    ExportRequest request;
    request.format = format;
    request.target = db::toPath(path);
    request.fields = fields;
    request.labels = ctx_.database.fieldNames;
    request.headerLine = ctx_.database.exportFirstRow;
    request.searchOnly = !entire_->isChecked();
    request.protectedFiles = databaseFiles(db::toPath(ctx_.current.current));
    for (const QString& companion : {ctx_.current.index, ctx_.current.settings})
        if (!companion.isEmpty())
            request.protectedFiles.push_back(db::toPath(companion));

    running_ = true;
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    gauge_->setValue(0);
    QElapsedTimer shown;
    shown.start();
    QString failure;
    ExportResult result;
    try {
        Exporter exporter(ctx_.formats);
        result = exporter.run(ctx_.MyTable, request, &search_,
                              [&](std::uint64_t done, std::uint64_t total) {
                                  if (shown.elapsed() >= 40 && total > 0) {
                                      gauge_->setValue(int(std::min(done, total) * 1000 / total));
                                      QApplication::processEvents();
                                      shown.restart();
                                  }
                                  return true;
                              });
        gauge_->setValue(1000);
    } catch (const std::exception& e) {
        failure = db::errorText(e);
    }
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    running_ = false;
    if (!failure.isEmpty()) {
        ctx_.prompter->error(failure);
        gauge_->setValue(0);
        return;
    }
    ctx_.prompter->message({app::MessageKind::Information, QStringLiteral("Ok"),
                            QString::fromLatin1(kExportComplete), app::Button::Ok});
    gauge_->setValue(0);
    accept();
}

void TMyExport::ExitButtonClick() {
    reject();
}

void TMyExport::HelpButtonClick() {
    app::showHelpTopic(this, QStringLiteral("Export Window"));
}

} // namespace shelvix::transfer
