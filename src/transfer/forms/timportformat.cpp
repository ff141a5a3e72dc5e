#include "transfer/forms/timportformat.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "db/textcodec.h"
#include "transfer/dbffiles.h"
#include "transfer/delimited.h"
#include "transfer/exporter.h"
#include "transfer/forms/tmyimport.h"
#include "transfer/messages.h"

#include <QFrame>
#include <QPushButton>
#include <QRadioButton>

namespace shelvix::transfer {

TImportFormat::TImportFormat(app::AppContext& context, QWidget* parent)
    : QDialog(parent), ctx_(context) {
    setObjectName(QStringLiteral("TImportFormat"));
    setWindowTitle(QStringLiteral("Import Format"));
    resize(300, 160);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("MyPanel"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(10, 10, 280, 90);
    ascii_ = new QRadioButton(QStringLiteral("Ascii Delimited File"), panel);
    ascii_->setObjectName(QStringLiteral("AsciiDelimited"));
    ascii_->setGeometry(20, 14, 240, 24);
    dbf_ = new QRadioButton(QStringLiteral("DBase File (DBF)"), panel);
    dbf_->setObjectName(QStringLiteral("DBFFormat"));
    dbf_->setGeometry(20, 50, 240, 24);

    auto* file = new QPushButton(QStringLiteral("Select &File"), this);
    file->setObjectName(QStringLiteral("FileButton"));
    file->setGeometry(40, 115, 100, 27);
    file->setDefault(true);
    connect(file, &QPushButton::clicked, this, [this] { FileButtonClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(160, 115, 100, 27);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

void TImportFormat::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TImportFormat::FormShow() {
    (ctx_.database.importFileType == 2 ? dbf_ : ascii_)->setChecked(true);
    SetColors();
}

void TImportFormat::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
}

void TImportFormat::done(int result) {
    ctx_.database.importFileType = dbf_->isChecked() && !ascii_->isChecked() ? 2 : 1;
    QDialog::done(result);
}

void TImportFormat::FileButtonClick() {
    kind_ = ascii_->isChecked() ? 1 : 2;
    if (kind_ == 1)
        DoAscii();
    else
        DoDBF();
}

void TImportFormat::CancelButtonClick() {
    reject();
}

namespace {

app::FileRequest openRequest(const app::AppContext& ctx, const char* filter, const char* ext) {
    app::FileRequest r;
    r.mode = app::FileMode::Open;
    r.title = QStringLiteral("Import Data");
    r.filter = QString::fromLatin1(filter);
    r.defaultExtension = QString::fromLatin1(ext);
    r.initialPath = ctx.global.lastImportFile;
    r.flags = app::FileFlag::FileMustExist | app::FileFlag::HideReadOnly;
    return r;
}

} // namespace

void TImportFormat::DoAscii() {
    const auto path = ctx_.prompter->chooseFile(openRequest(
        ctx_, "Text files (*.csv *.tsv *.txt)|*.csv;*.tsv;*.txt|All files (*)|*", "TXT"));
    if (!path)
        return;
    ctx_.global.lastImportFile = *path;
    std::unique_ptr<DelimitedReader> reader;
    FirstLine result = FirstLine::Ok;
    try {
        reader = std::make_unique<DelimitedReader>(db::toPath(*path));
        result = reader->scanFirstLine();
    } catch (const std::exception& e) {
        ctx_.prompter->error(db::errorText(e));
        return;
    }
    if (result != FirstLine::Ok) {
        ctx_.prompter->error(firstLineMessage(result));
        return;
    }
    TMyImport window(ctx_, TMyImport::Ascii, std::move(reader), this);
    app::placeDialog(&window, ctx_, {.moveUp10 = true});
    window.exec();
    accept();
}

void TImportFormat::DoDBF() {
    const auto path = ctx_.prompter->chooseFile(openRequest(ctx_, "DBase  (*.DBF)|*.DBF", "DBF"));
    if (!path)
        return;
    ctx_.global.lastImportFile = *path;
    if (!hasDbfExtension(*path)) {
        ctx_.prompter->error(QString::fromLatin1(kInvalidFileType));
        return;
    }
    std::unique_ptr<DbfReader> reader;
    try {
        reader = std::make_unique<DbfReader>(db::toPath(*path), ctx_.formats);
    } catch (const std::exception& e) {
        ctx_.prompter->error(db::errorText(e));
        return;
    }
    if (reader->fieldCount() > kMaxSourceFields) {
        ctx_.prompter->error(tooManyDbfFieldsMessage(reader->fieldCount()));
        return;
    }
    TMyImport window(ctx_, TMyImport::DBase, std::move(reader), this);
    app::placeDialog(&window, ctx_, {.moveUp10 = true});
    window.exec();
    accept();
}

} // namespace shelvix::transfer
