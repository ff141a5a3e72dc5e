#include "reports/forms/tuserreport.h"

#include "app/forms/colors.h"
#include "app/forms/helpviewer.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "db/textcodec.h"
#include "reports/forms/treplayout.h"
#include "reports/forms/treportfonts.h"
#include "reports/reportediting.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <algorithm>

namespace shelvix::reports {

namespace {

const QString kLinesMessage =
    QStringLiteral("Number of lines must be in range of 0 to 12.  Please correct.");
const QString kTitleChanged = QStringLiteral(
    "Report Title has changed!  Do you wish to save this as a new report?   (YES saves as new "
    "report.  NO overwrites old report.  CANCEL aborts.)");
const QString kDeleteQuestion = QStringLiteral("Are you sure you want to delete this report?");
const QString kTo90 = QStringLiteral(
    "Switching to 90 characters from 120 or 150 will truncate the current defined lines.  In "
    "addition, the font size will be reset to a 10 point as a default.  Are you sure you wish to "
    "do this?");
const QString kTo120 = QStringLiteral(
    "Switching to 120 characters from 150 will truncate the current defined lines.  In addition, "
    "the font size will be reset to a 8 point as a default.  Are you sure you wish to do this?");
const QString kNotice8 =
    QStringLiteral("The Report Body font size has been set to a 8 Point default size as.");
const QString kNotice6 =
    QStringLiteral("The Report Body font size has been set to a 6 Point default size as a result "
                   "of switching to 150 characters per line.");

QLineEdit* edit(QWidget* parent, const char* name, const QRect& at, int maxLength = 0) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(at);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    return e;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& at) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(at);
    return l;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& text, const QRect& at) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(at);
    return c;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QRect& at) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(at);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TUserReport::TUserReport(app::AppContext& context, const ReportFile& file,
                         ReportDefinition& current, std::optional<int> index, QWidget* parent)
    : QDialog(parent), ctx_(context), file_(file), current_(current), isNew_(!index),
      editedIndex_(index.value_or(-1)) {
    setObjectName(QStringLiteral("TUserReport"));
    setWindowTitle(QStringLiteral("Report Definition"));
    resize(620, 400);

    label(this, QStringLiteral("Report Name"), QRect(10, 8, 200, 16));
    reportName_ = edit(this, "ReportName", QRect(10, 26, 290, 22), 30);
    connect(reportName_, &QLineEdit::editingFinished, this, [this] { ReportNameExit(); });

    auto* widthBox = new QGroupBox(QStringLiteral("Characters Per Line"), this);
    widthBox->setGeometry(310, 6, 300, 46);
    chars90_ = new QRadioButton(QStringLiteral("90 Chars"), widthBox);
    chars90_->setObjectName(QStringLiteral("Chars90"));
    chars90_->setGeometry(10, 20, 90, 20);
    chars120_ = new QRadioButton(QStringLiteral("120 Chars"), widthBox);
    chars120_->setObjectName(QStringLiteral("Chars120"));
    chars120_->setGeometry(105, 20, 90, 20);
    chars150_ = new QRadioButton(QStringLiteral("150 Chars"), widthBox);
    chars150_->setObjectName(QStringLiteral("Chars150"));
    chars150_->setGeometry(200, 20, 95, 20);
    connect(chars90_, &QRadioButton::clicked, this, [this] { Chars90Click(); });
    connect(chars120_, &QRadioButton::clicked, this, [this] { Chars120Click(); });
    connect(chars150_, &QRadioButton::clicked, this, [this] { Chars150Click(); });

    auto* fontBox = new QGroupBox(QStringLiteral("Report Fonts"), this);
    fontBox->setGeometry(10, 58, 600, 70);
    const char* fontNames[] = {"TitleLineFont", "ColumnHeaderFont", "RepBodyDataFont",
                               "FootnoteFont"};
    const char* fontCaptions[] = {"Title Lines", "Column Headers", "Report Body", "Footnotes"};
    QLineEdit** fontEdits[] = {&titleLineFont_, &columnHeaderFont_, &repBodyDataFont_,
                               &footnoteFont_};
    for (int i = 0; i < 4; ++i) {
        label(fontBox, QString::fromLatin1(fontCaptions[i]), QRect(10 + i * 122, 18, 118, 16));
        *fontEdits[i] = edit(fontBox, fontNames[i], QRect(10 + i * 122, 36, 118, 22));
        (*fontEdits[i])->setReadOnly(true);
        (*fontEdits[i])->setFocusPolicy(Qt::ClickFocus);
    }
    auto* setFonts =
        button(fontBox, "SetFonts", QStringLiteral("&Set Fonts"), QRect(502, 34, 90, 26));
    connect(setFonts, &QPushButton::clicked, this, [this] { SetFontsClick(); });

    auto* titleBox = new QGroupBox(QStringLiteral("Report Titles"), this);
    titleBox->setGeometry(10, 134, 400, 104);
    for (int i = 0; i < 3; ++i) {
        const QByteArray name = "Title" + QByteArray::number(i + 1);
        titles_[i] = edit(titleBox, name.constData(), QRect(10, 20 + i * 27, 380, 22), 80);
    }

    auto* optionBox = new QGroupBox(QStringLiteral("Options"), this);
    optionBox->setGeometry(420, 134, 190, 214);
    level1Group_ = check(optionBox, "Level1Group", QStringLiteral("Group by Level 1 Sort"),
                         QRect(8, 18, 178, 20));
    level2Group_ = check(optionBox, "Level2Group", QStringLiteral("Group by Level 2 Sort"),
                         QRect(8, 40, 178, 20));
    columnHeaders_ =
        check(optionBox, "ColumnHeaders", QStringLiteral("Column Headers"), QRect(8, 62, 178, 20));
    horzLines_ =
        check(optionBox, "HorzLines", QStringLiteral("Horizontal Lines"), QRect(8, 84, 178, 20));
    vertLines_ =
        check(optionBox, "VertLines", QStringLiteral("Vertical Lines"), QRect(8, 106, 178, 20));
    dateOnPage_ =
        check(optionBox, "DateOnPage", QStringLiteral("Date On Pages"), QRect(8, 128, 178, 20));
    pageNumbers_ =
        check(optionBox, "PageNumbers", QStringLiteral("Page Numbers"), QRect(8, 150, 178, 20));
    landOrient_ =
        check(optionBox, "LandOrient", QStringLiteral("Print Landscape"), QRect(8, 172, 178, 20));
    connect(level1Group_, &QCheckBox::clicked, this, [this] { Level1GroupClick(); });

    auto* linesBox = new QGroupBox(QStringLiteral("Number of Lines"), this);
    linesBox->setGeometry(10, 244, 190, 104);
    numLines_ = edit(linesBox, "NumLines", QRect(10, 20, 40, 22), 2);
    connect(numLines_, &QLineEdit::editingFinished, this, [this] { NumLinesExit(); });
    useTotals_ = check(linesBox, "UseTotals", QStringLiteral("Use Totals"), QRect(60, 21, 120, 20));
    // Set Fonts has Alt+S.
    auto* specify = button(linesBox, "SpecifyButton", QStringLiteral("S&pecify Report Content"),
                           QRect(10, 56, 170, 28));
    connect(specify, &QPushButton::clicked, this, [this] { SpecifyButtonClick(); });

    auto* marginBox = new QGroupBox(QStringLiteral("Margins (in inches)"), this);
    marginBox->setGeometry(210, 244, 200, 104);
    const char* marginNames[] = {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"};
    const char* marginCaptions[] = {"Top", "Bottom", "Left", "Right"};
    QLineEdit** margins[] = {&topMargin_, &bottomMargin_, &leftMargin_, &rightMargin_};
    for (int i = 0; i < 4; ++i) {
        const int x = 10 + (i % 2) * 95;
        const int y = 20 + (i / 2) * 40;
        label(marginBox, QString::fromLatin1(marginCaptions[i]), QRect(x, y + 3, 42, 16));
        *margins[i] = edit(marginBox, marginNames[i], QRect(x + 42, y, 45, 22), 5);
        connect(*margins[i], &QLineEdit::editingFinished, this, [this] { NumLinesExit(); });
    }

    auto* update = button(this, "UpdateButton", QStringLiteral("&Update"), QRect(130, 362, 85, 28));
    connect(update, &QPushButton::clicked, this, [this] { UpdateButtonClick(); });
    auto* cancel = button(this, "CancelButton", QStringLiteral("&Cancel"), QRect(225, 362, 85, 28));
    connect(cancel, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    deleteButton_ =
        button(this, "DeleteButton", QStringLiteral("&Delete"), QRect(320, 362, 85, 28));
    connect(deleteButton_, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
    auto* help = button(this, "HelpButton", QStringLiteral("&Help"), QRect(415, 362, 85, 28));
    connect(help, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

    // Filled here rather than on every showing: the dialog is shown once,
    // and a message box returning focus must not reload the controls.
    reportName_->setText(fromStored(current_.name));
    openingName_ = reportName_->text().trimmed();
    checkWidth(current_.CharsPerLine);
    showFonts();
    for (int i = 0; i < 3; ++i)
        titles_[i]->setText(fromStored(current_.titles[std::size_t(i)]));
    level1Group_->setChecked(current_.groupLevel1);
    level2Group_->setChecked(current_.groupLevel1 && current_.groupLevel2);
    level2Group_->setEnabled(current_.groupLevel1);
    columnHeaders_->setChecked(current_.columnHeaders);
    horzLines_->setChecked(current_.horizontalLines);
    vertLines_->setChecked(current_.verticalLines);
    dateOnPage_->setChecked(current_.dateOnPages);
    pageNumbers_->setChecked(current_.pageNumbers);
    landOrient_->setChecked(current_.landscape);
    useTotals_->setChecked(current_.useTotals);
    numLines_->setText(QString::number(current_.lineCount));
    enableLineOptions(current_.lineCount);
    topMargin_->setText(marginText(current_.topMargin));
    bottomMargin_->setText(marginText(current_.bottomMargin));
    leftMargin_->setText(marginText(current_.leftMargin));
    rightMargin_->setText(marginText(current_.rightMargin));
    deleteButton_->setEnabled(!isNew_);
}

TUserReport::Outcome TUserReport::Edit(app::AppContext& context, const ReportFile& file,
                                       ReportDefinition& current, std::optional<int> index,
                                       QWidget* parent) {
    TUserReport dialog(context, file, current, index, parent);
    dialog.exec();
    return dialog.outcome();
}

void TUserReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TUserReport::FormShow() {
    app::placeDialog(this, ctx_);
    SetColors();
    reportName_->setFocus();
}

void TUserReport::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Report);
}

int TUserReport::chosenLineWidth() const {
    return chars150_->isChecked() ? 150 : chars120_->isChecked() ? 120 : 90;
}

bool TUserReport::useTotalsChecked() const {
    return useTotals_->isChecked();
}

void TUserReport::showFonts() {
    titleLineFont_->setText(fontText(current_.fonts[0]));
    columnHeaderFont_->setText(fontText(current_.fonts[1]));
    repBodyDataFont_->setText(fontText(current_.fonts[2]));
    footnoteFont_->setText(fontText(current_.fonts[4]));
}

void TUserReport::checkWidth(int charsPerLine) {
    QRadioButton* r = charsPerLine == 150 ? chars150_ : charsPerLine == 120 ? chars120_ : chars90_;
    r->setChecked(true);
}

void TUserReport::enableLineOptions(int count) {
    const bool few = count < 2;
    columnHeaders_->setEnabled(few);
    horzLines_->setEnabled(few);
    vertLines_->setEnabled(few);
}

app::Button TUserReport::ask(const QString& text, app::MessageKind kind, app::Buttons buttons,
                             app::Button defaultButton) {
    return ctx_.prompter->message({kind, QStringLiteral("Warning"), text, buttons, defaultButton});
}

void TUserReport::notice(const QString& text) {
    ctx_.prompter->message({app::MessageKind::Warning, QStringLiteral("Notice"), text});
}

void TUserReport::NumLinesExit() {
    const int count = leadingNumber(numLines_->text());
    // A count out of range stays in the edit for Update to refuse; the
    // definition never holds one, so nothing reading it can overrun.
    if (count >= 0 && count <= kBodyLines)
        current_.lineCount = std::int16_t(count);
    numLines_->setText(QString::number(count));
    enableLineOptions(count);
}

bool TUserReport::NumLinesOk() {
    const int count = leadingNumber(numLines_->text());
    if (count < 0 || count > kBodyLines) {
        notice(kLinesMessage);
        numLines_->setFocus();
        return false;
    }
    current_.lineCount = std::int16_t(count);
    numLines_->setText(QString::number(count));
    return true;
}

void TUserReport::ReportNameExit() {
    if (isNew_)
        return;
    current_.name = toStored(reportName_->text(), 30);
    deleteButton_->setEnabled(reportName_->text().trimmed() == openingName_);
}

void TUserReport::Chars90Click() {
    if (current_.CharsPerLine == 90)
        return;
    if (ask(kTo90, app::MessageKind::Error, app::Button::Yes | app::Button::No, app::Button::No) !=
        app::Button::Yes) {
        checkWidth(current_.CharsPerLine == 120 ? 120 : 150);
        return;
    }
    FitLinesToWidth(current_, 90);
    current_.CharsPerLine = 90;
    current_.fonts[2].size = 10;
    showFonts();
}

void TUserReport::Chars120Click() {
    if (current_.CharsPerLine == 120)
        return;
    if (current_.CharsPerLine == 150 &&
        ask(kTo120, app::MessageKind::Error, app::Button::Yes | app::Button::No, app::Button::No) !=
            app::Button::Yes) {
        checkWidth(150);
        return;
    }
    FitLinesToWidth(current_, 120);
    current_.CharsPerLine = 120;
    current_.fonts[2].size = 8;
    showFonts();
    notice(kNotice8);
}

void TUserReport::Chars150Click() {
    if (current_.CharsPerLine == 150)
        return;
    FitLinesToWidth(current_, 150);
    current_.CharsPerLine = 150;
    current_.fonts[2].size = 6;
    showFonts();
    notice(kNotice6);
}

void TUserReport::Level1GroupClick() {
    level2Group_->setEnabled(level1Group_->isChecked());
}

void TUserReport::SetFontsClick() {
    TReportFonts fonts(ctx_, current_, this);
    fonts.exec();
    showFonts();
}

void TUserReport::SpecifyButtonClick() {
    if (!NumLinesOk())
        return;
    TRepLayout layout(ctx_, current_, chosenLineWidth(), useTotals_->isChecked(), this);
    layout.exec();
}

void TUserReport::SaveOutVars() {
    current_.lineCount = std::int16_t(leadingNumber(numLines_->text()));
    current_.topMargin = marginValue(topMargin_->text());
    current_.leftMargin = marginValue(leftMargin_->text());
    current_.bottomMargin = marginValue(bottomMargin_->text());
    current_.rightMargin = marginValue(rightMargin_->text());
    current_.name = toStored(reportName_->text(), 30);
    for (int i = 0; i < 3; ++i)
        current_.titles[std::size_t(i)] = toStored(titles_[i]->text(), 80);
    current_.CharsPerLine = std::int16_t(chosenLineWidth());
    current_.columnHeaders = columnHeaders_->isChecked();
    current_.groupLevel1 = level1Group_->isChecked();
    current_.groupLevel2 = current_.groupLevel1 && level2Group_->isChecked();
    current_.pageNumbers = pageNumbers_->isChecked();
    current_.landscape = landOrient_->isChecked();
    current_.dateOnPages = dateOnPage_->isChecked();
    current_.horizontalLines = horzLines_->isChecked();
    current_.verticalLines = vertLines_->isChecked();
    current_.useTotals = useTotals_->isChecked();
}

void TUserReport::UpdateButtonClick() {
    if (!NumLinesOk())
        return;
    SaveOutVars();
    bool asNew = isNew_;
    if (!isNew_ && fromStored(current_.name) != openingName_) {
        const app::Button answer =
            ask(kTitleChanged, app::MessageKind::Error,
                app::Button::Yes | app::Button::No | app::Button::Cancel, app::Button::Yes);
        if (answer == app::Button::Cancel)
            return;
        asNew = answer == app::Button::Yes;
    }
    try {
        editedIndex_ =
            file_.save(current_, asNew ? std::nullopt : std::optional<int>(editedIndex_));
    } catch (const ReportFileError& e) {
        // Nothing was written; the dialog stays so the work is not lost.
        ctx_.prompter->error(db::errorText(e));
        return;
    }
    isNew_ = asNew;
    outcome_ = {true, false, editedIndex_};
    accept();
}

void TUserReport::DeleteButtonClick() {
    if (isNew_)
        return;
    if (ask(kDeleteQuestion, app::MessageKind::Question, app::Button::Yes | app::Button::No,
            app::Button::No) != app::Button::Yes)
        return;
    try {
        file_.remove(editedIndex_);
    } catch (const ReportFileError& e) {
        ctx_.prompter->error(db::errorText(e));
        return;
    }
    outcome_ = {false, true, editedIndex_};
    accept();
}

void TUserReport::CancelButtonClick() {
    reject();
}

void TUserReport::HelpButtonClick() {
    app::showHelpTopic(this, QStringLiteral("User Defined Reports"));
}

} // namespace shelvix::reports
