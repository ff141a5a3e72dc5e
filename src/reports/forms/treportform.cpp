#include "reports/forms/treportform.h"

#include "app/appcontext.h"
#include "app/forms/colors.h"
#include "app/prompter.h"
#include "db/textcodec.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace shelvix::reports {

TReportForm::TReportForm(app::AppContext& context, const ReportDefinition& definition,
                         ReportMode mode, QWidget* parent)
    : QDialog(parent), MyReportPrinter(context.prompter), ctx_(context), mode_(mode) {
    setObjectName(QStringLiteral("TReportForm"));
    setWindowTitle(QStringLiteral("Report Status Screen"));
    setFixedSize(300, 150);
    Label1 = new QLabel(QStringLiteral("Printing Status"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(10, 10, 280, 80);
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(108, 104, 85, 27);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    MyReportPrinter.StatusFormat = QStringLiteral("Printing Page %p");
    MyReportFiler.StatusFormat = QStringLiteral("Printing page %p");
    if (!context.MyTable) {
        throw std::logic_error("a report needs an open table");
    }
    renderer_ = std::make_unique<ReportRenderer>(definition, *context.MyTable, context.formats);
    renderer_->OutputMode = mode;
    renderer_->SortLevels = context.database.sortOrder;
    for (std::size_t i = 0; i < renderer_->FieldCaptions.size(); ++i) {
        renderer_->FieldCaptions[i] = context.database.fieldNames[i];
    }
    const TOrientation orientation = definition.landscape ? poLandScape : poPortrait;
    for (TBaseReport* e :
         {static_cast<TBaseReport*>(&MyReportPrinter), static_cast<TBaseReport*>(&MyReportFiler)}) {
        e->Orientation = orientation;
        e->StatusLabel = [this](const QString& s) { showStatus(s); };
    }
    renderer_->attach(engine());
    app::applyColorSet(this, context, app::ColorGroup::Report);
}

TReportForm::~TReportForm() = default;

TBaseReport& TReportForm::engine() {
    return mode_ == ReportMode::Print ? static_cast<TBaseReport&>(MyReportPrinter)
                                      : static_cast<TBaseReport&>(MyReportFiler);
}

void TReportForm::showStatus(const QString& status) {
    QString text = status;
    text.replace(u'\r', u'\n');
    Label1->setText(text);
    // A page at a time the window answers, so Cancel is heard.
    if (!finished_) {
        QCoreApplication::processEvents();
    }
}

void TReportForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once per command: a later activation never runs the report again.
    if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    }
}

void TReportForm::FormActivate() {
    TBaseReport& e = engine();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    bool ran = false;
    try {
        for (int copy = 0; copy < std::max(1, Copies); ++copy) {
            ran = e.RunReport();
            if (!ran || e.Canceled()) {
                break;
            }
        }
    } catch (const std::exception& ex) {
        ran = false;
        QApplication::restoreOverrideCursor();
        if (ctx_.prompter) {
            ctx_.prompter->beep(app::Beep::Error);
            ctx_.prompter->error(db::errorText(ex));
        }
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    QApplication::restoreOverrideCursor();
    finished_ = true;
    // Nothing printed is never reported as done.
    canceled_ = !ran || e.Canceled();
    if (!renderer_->error().isEmpty() && ctx_.prompter) {
        ctx_.prompter->beep(app::Beep::Error);
        ctx_.prompter->error(renderer_->error());
    }
    BitBtn1->setText(QStringLiteral("OK"));
    e.StatusFormat =
        canceled_ ? QStringLiteral("\rReport Canceled!") : QStringLiteral("\rReport Completed!");
    e.RefreshStatus();
}

void TReportForm::BitBtn1Click() {
    if (finished_) {
        accept();
    } else {
        engine().CancelReport();
    }
}

void TReportForm::reject() {
    // Escape during the run cancels it; the form waits for OK.
    if (finished_) {
        QDialog::reject();
    } else {
        engine().CancelReport();
    }
}

void TReportForm::closeEvent(QCloseEvent* event) {
    if (!finished_) {
        engine().CancelReport();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace shelvix::reports
