#include "reports/forms/tmyreport.h"

#include "app/appcontext.h"
#include "app/forms/colors.h"
#include "app/forms/helpviewer.h"
#include "app/prompter.h"
#include "app/searchbracket.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "db/textcodec.h"
#include "reports/forms/tmypreview.h"
#include "reports/forms/tprintselect.h"
#include "reports/forms/treportform.h"
#include "reports/forms/tuserreport.h"
#include "reports/paint/qtreport.h"
#include "reports/reportediting.h"

#include <QAction>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace shelvix::reports {

namespace {

const QString kNoSelection = QStringLiteral("No Report has been selected.  Please choose one.");
const QString kNotLocated = QStringLiteral("Report format could not be located.");

QString definitionsPath(const app::AppContext& ctx) {
    return QDir(ctx.paths.dataDir).filePath(QStringLiteral("SHVBOOK.URP"));
}

} // namespace

// Where a run goes besides its mode.
struct TMyReport::Output {
    QString textFile; // mode 3
    QString pdfFile;  // mode 1 into a PDF file instead of a printer
    int printer = -1; // mode 1: index of the installed printer, -1 the default
    int copies = 1;
    bool landscape = false;
    QSizeF pdfPaperMm; // empty: the default paper
};

TMyReport::TMyReport(app::AppContext& context, app::SearchBracket& search, QWidget* parent)
    : QDialog(parent), printerNames(installedPrinterNames), ctx_(context), search_(search) {
    setObjectName(QStringLiteral("TMyReport"));
    setWindowTitle(QStringLiteral("Reports"));
    setFixedSize(460, 320);

    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu"));
    bar->setGeometry(0, 0, 460, 24);
    auto item = [this](QMenu* menu, const QString& text, const char* key,
                       std::function<void()> run) {
        QAction* a = menu->addAction(text);
        a->setShortcut(QKeySequence(QString::fromLatin1(key)));
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [run] { run(); });
        addAction(a);
        return a;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    item(file, QStringLiteral("&View"), "Ctrl+V", [this] { DoView(); });
    item(file, QStringLiteral("&Print"), "Ctrl+P", [this] { DoPrint(); });
    item(file, QStringLiteral("Print To &File"), "Ctrl+F", [this] { DoPrintToFile(); });
    item(file, QStringLiteral("Printer &Setup"), "Ctrl+S", [this] { DoPrinterSetup(); });
    file->addSeparator();
    item(file, QStringLiteral("E&xit"), "Ctrl+X", [this] { close(); });
    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    editorActions_.push_back(
        item(options, QStringLiteral("&Modify Report"), "Ctrl+M", [this] { DoModify(); }));
    editorActions_.push_back(
        item(options, QStringLiteral("&New Report"), "Ctrl+N", [this] { DoNew(); }));
    QAction* help = bar->addAction(QStringLiteral("&Help"));
    connect(help, &QAction::triggered, this, [this] { DoHelp(); });

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("SortPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 30, 444, 50);
    auto* sortTitle = new QLabel(QStringLiteral("Current Sort Order"), panel);
    sortTitle->setObjectName(QStringLiteral("SortTitle"));
    sortTitle->setProperty("colorRole", QStringLiteral("major"));
    sortTitle->setGeometry(8, 4, 300, 20);
    SortOrderLabel = new QLabel(panel);
    SortOrderLabel->setObjectName(QStringLiteral("SortOrderLabel"));
    SortOrderLabel->setGeometry(8, 25, 428, 20);

    auto* what = new QGroupBox(QStringLiteral("What to Print"), this);
    what->setObjectName(QStringLiteral("WhatToPrint"));
    what->setGeometry(8, 88, 200, 80);
    ExportEntire = new QRadioButton(QStringLiteral("Print Entire Database"), what);
    ExportEntire->setObjectName(QStringLiteral("ExportEntire"));
    ExportEntire->setGeometry(10, 24, 185, 22);
    ExportSearch = new QRadioButton(QStringLiteral("Print Search Criteria"), what);
    ExportSearch->setObjectName(QStringLiteral("ExportSearch"));
    ExportSearch->setGeometry(10, 50, 185, 22);

    auto* selection = new QGroupBox(QStringLiteral("Report Selection"), this);
    selection->setObjectName(QStringLiteral("ReportSelection"));
    selection->setGeometry(216, 88, 236, 222);
    ReportBox = new QListWidget(selection);
    ReportBox->setObjectName(QStringLiteral("ReportBox"));
    ReportBox->setGeometry(10, 24, 216, 188);
    connect(ReportBox, &QListWidget::itemDoubleClicked, this, [this] { DoView(); });

    auto button = [this](const char* name, const QString& text, int left, int top,
                         std::function<void()> run) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, top, 96, 27);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [run] { run(); });
        return b;
    };
    ViewButton = button("ViewButton", QStringLiteral("&View"), 8, 178, [this] { DoView(); });
    ViewButton->setDefault(true);
    PrintButton = button("PrintButton", QStringLiteral("&Print"), 112, 178, [this] { DoPrint(); });
    FileButton =
        button("FileButton", QStringLiteral("Print To &File"), 8, 210, [this] { DoPrintToFile(); });
    ModifyButton =
        button("ModifyButton", QStringLiteral("&Modify Report"), 112, 210, [this] { DoModify(); });
    NewButton = button("NewButton", QStringLiteral("&New Report"), 8, 242, [this] { DoNew(); });
    HelpButton = button("HelpButton", QStringLiteral("&Help"), 112, 242, [this] { DoHelp(); });
    ExitButton = button("ExitButton", QStringLiteral("E&xit"), 8, 274, [this] { close(); });

    setEditor([this] { showEditor(); });
    geometry_ = app::FormGeometry::save(this, ctx_.prompter);
    LoadReportBox();
}

void TMyReport::setEditor(std::function<void()> showEditor) {
    showEditor_ = std::move(showEditor);
    const bool on = static_cast<bool>(showEditor_);
    NewButton->setEnabled(on);
    ModifyButton->setEnabled(on);
    for (QAction* a : editorActions_) {
        a->setEnabled(on);
    }
}

void TMyReport::LoadReportBox() {
    ReportBox->clear();
    const ReportFile file(definitionsPath(ctx_));
    std::optional<ReportFileScan> scan;
    try {
        scan = file.scan();
    } catch (const ReportFileError& e) {
        if (ctx_.prompter) {
            ctx_.prompter->beep(app::Beep::Error);
            ctx_.prompter->error(db::errorText(e));
        }
    }
    if (!scan) {
        return;
    }
    for (const ReportDefinition& d : scan->usable()) {
        ReportBox->addItem(db::fromWindows1252(d.name));
    }
    // Named once: the list is loaded again after every save, which keeps
    // the records it leaves out as they were.
    if (scan->damageKey != 0 && scan->damageKey != damageShown_ && ctx_.prompter) {
        ctx_.prompter->beep(app::Beep::Error);
        ctx_.prompter->error(scan->message(file.path()));
    }
    damageShown_ = scan->damageKey;
}

void TMyReport::DoReports() {
    exec();
}

void TMyReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMyReport::FormShow() {
    app::placeDialog(this, geometry_, ctx_);
    app::applyColorSet(this, ctx_, app::ColorGroup::Report);
    const bool searchOn = search_.searchOn();
    ExportSearch->setEnabled(searchOn);
    (searchOn ? ExportSearch : ExportEntire)->setChecked(true);
    ReportBox->setFocus();
    const int last = ctx_.database.lastReport;
    ReportBox->setCurrentRow(last >= 0 && last < ReportBox->count() ? last : -1);
    if (ReportBox->currentRow() < 0) {
        ReportBox->clearSelection();
    }
    QStringList names;
    for (int level : ctx_.database.sortOrder) {
        if (level >= 1 && level <= static_cast<int>(ctx_.database.fieldNames.size())) {
            names << ctx_.database.fieldNames[std::size_t(level - 1)];
        }
    }
    SortOrderLabel->setText(names.isEmpty() ? QStringLiteral("No Sort Order Selected")
                                            : names.join(QStringLiteral(", ")));
}

void TMyReport::done(int result) {
    ctx_.database.lastReport = ReportBox->currentRow();
    QDialog::done(result);
}

bool TMyReport::loadSelected() {
    const int row = ReportBox->currentRow();
    app::Prompter* p = ctx_.prompter;
    if (row < 0) {
        p->beep(app::Beep::Error);
        p->error(kNoSelection);
        ReportBox->setFocus();
        return false;
    }
    std::optional<ReportDefinition> def;
    try {
        def = ReportFile(definitionsPath(ctx_)).read(row);
    } catch (const ReportFileError& e) {
        p->beep(app::Beep::Error);
        p->error(db::errorText(e));
        ReportBox->setFocus();
        return false;
    }
    if (!def) {
        p->beep(app::Beep::Error);
        p->error(kNotLocated);
        ReportBox->setFocus();
        return false;
    }
    CurrentReport = *def;
    return true;
}

void TMyReport::DoView() {
    if (loadSelected()) {
        DoIt(ReportMode::View, {});
    }
}

void TMyReport::DoPrint() {
    if (!loadSelected()) {
        return;
    }
    const QStringList names = printerNames();
    const int index = ctx_.database.printerIndex;
    app::PrintRequest request;
    if (!ctx_.database.defaultPrinter && index >= 0 && index < names.size()) {
        request.initial.printer = names[index];
    }
    request.initial.landscape = CurrentReport.landscape;
    const std::optional<app::PrintSetup> setup = ctx_.prompter->choosePrinter(request);
    if (!setup) {
        return;
    }
    Output out;
    out.pdfFile = setup->outputFile;
    out.printer = setup->printer.isEmpty() ? -1 : static_cast<int>(names.indexOf(setup->printer));
    out.copies = std::max(1, setup->copies);
    out.landscape = setup->landscape;
    out.pdfPaperMm = setup->paperSize;
    DoIt(ReportMode::Print, out);
}

void TMyReport::DoPrintToFile() {
    app::FileRequest request;
    request.mode = app::FileMode::Save;
    request.title = QStringLiteral("Save Report As a Text File");
    request.filter = QStringLiteral("Text Files (*.TXT)|*.TXT|PDF Files (*.PDF)|*.PDF");
    request.defaultExtension = QStringLiteral("TXT");
    request.flags =
        app::FileFlag::OverwritePrompt | app::FileFlag::HideReadOnly | app::FileFlag::PathMustExist;
    const std::optional<QString> path = ctx_.prompter->chooseFile(request);
    if (!path || !loadSelected()) {
        return;
    }
    Output out;
    out.landscape = CurrentReport.landscape;
    // The whole path: a name cut short would write some other file.
    if (path->endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        out.pdfFile = *path;
        DoIt(ReportMode::Print, out);
    } else {
        out.textFile = *path;
        DoIt(ReportMode::File, out);
    }
}

void TMyReport::DoIt(ReportMode mode, const Output& output) {
    if (!ctx_.MyTable) {
        return;
    }
    // The walk moves the table; the grid's record is put back afterwards, so
    // the next command acts on the book the user had chosen.
    const db::Table::Bookmark current = ctx_.MyTable->bookmark();
    // However the run ends, the search the user had is back (the bracket,
    // ended below), and then the record.
    struct Restore {
        app::AppContext& ctx;
        db::Table::Bookmark mark;
        ~Restore() {
            try {
                if (ctx.MyTable && mark.recno != 0) {
                    ctx.MyTable->gotoBookmark(mark);
                }
            } catch (const db::DatabaseError&) {
                // A record gone meanwhile: the table stays where it is.
            }
        }
    } restoreAfter{ctx_, current};
    const auto held = ExportEntire->isChecked() ? search_.end() : app::SearchBracket::Held();
    if (!ctx_.MyTable) {
        return;
    }

    ReportStream stream;
    bool canceled = true;
    {
        TReportForm form(ctx_, CurrentReport, mode, this);
        const int printer = ctx_.database.defaultPrinter ? -1 : ctx_.database.printerIndex;
        form.MyReportPrinter.ChoosePrinter(printer);
        form.MyReportFiler.ChoosePrinter(printer);
        if (mode == ReportMode::Print) {
            if (!output.pdfFile.isEmpty()) {
                std::optional<QPageSize> paper;
                if (!output.pdfPaperMm.isEmpty()) {
                    paper = QPageSize(output.pdfPaperMm, QPageSize::Millimeter);
                }
                form.MyReportPrinter.ChoosePdfFile(output.pdfFile, paper);
            } else {
                form.MyReportPrinter.ChoosePrinter(output.printer);
            }
            form.MyReportPrinter.Orientation = output.landscape ? poLandScape : poPortrait;
            form.Copies = output.copies;
        } else {
            form.MyReportFiler.SetStream(&stream);
            form.MyReportFiler.CountOnly = mode == ReportMode::File;
            form.renderer().TextFileName = output.textFile;
        }
        app::placeDialog(&form, ctx_);
        form.exec();
        canceled = form.Canceled();
    }
    if (mode == ReportMode::View && !canceled) {
        showPages(stream);
    }
}

// The pages of a viewed report, printed from the preview on the printer of
// Printer Setup.
void TMyReport::showPages(const ReportStream& stream) {
    TFilePrinter printer(ctx_.prompter);
    printer.ChoosePrinter(ctx_.database.defaultPrinter ? -1 : ctx_.database.printerIndex);
    TMyPreview::View(ctx_, stream, printer, fromStored(CurrentReport.name), this);
}

// The definition editor on CurrentReport; afterwards the list shows the file
// again, with the report saved selected.
void TMyReport::showEditor() {
    const ReportFile file(definitionsPath(ctx_));
    const TUserReport::Outcome outcome =
        TUserReport::Edit(ctx_, file, CurrentReport,
                          IsNewReport ? std::nullopt : std::optional<int>(EditedReportIndex), this);
    if (!outcome.saved && !outcome.deleted) {
        return;
    }
    LoadReportBox();
    if (outcome.saved) {
        EditedReportIndex = outcome.index;
        ReportBox->setCurrentRow(outcome.index);
    } else {
        ReportBox->setCurrentRow(std::min(outcome.index, ReportBox->count() - 1));
    }
}

void TMyReport::DoNew() {
    if (!showEditor_) {
        return;
    }
    CurrentReport = NewReportDefinition();
    IsNewReport = true;
    showEditor_();
}

void TMyReport::DoModify() {
    if (!showEditor_) {
        return;
    }
    if (ReportBox->currentRow() < 0) {
        ctx_.prompter->beep(app::Beep::Error);
        ctx_.prompter->error(kNoSelection);
        ReportBox->setFocus();
        return;
    }
    // A file that cannot be opened leaves the buffer as it was.
    try {
        if (const auto def = ReportFile(definitionsPath(ctx_)).read(ReportBox->currentRow())) {
            CurrentReport = *def;
        }
    } catch (const ReportFileError& e) {
        ctx_.prompter->error(db::errorText(e));
        return;
    }
    IsNewReport = false;
    EditedReportIndex = ReportBox->currentRow();
    showEditor_();
}

void TMyReport::DoHelp() {
    app::showHelpTopic(this, QStringLiteral("Report Window"));
}

void TMyReport::DoPrinterSetup() {
    TPrintSelect dialog(ctx_, printerNames(), this);
    app::placeDialog(&dialog, ctx_);
    dialog.exec();
}

} // namespace shelvix::reports
