#include "reports/forms/treportpart.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "reports/reportediting.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace shelvix::reports {

namespace {

const QString kInvalidWidth = QStringLiteral("Invalid width entered.  Please correct.");

} // namespace

TReportPart::TReportPart(app::AppContext& context, ReportDefinition& layout, int lineNo, int partNo,
                         int lineWidth, QWidget* parent)
    : QDialog(parent), ctx_(context), layout_(layout), lineNo_(lineNo), partNo_(partNo),
      lineWidth_(lineWidth) {
    setObjectName(QStringLiteral("TReportPart"));
    setWindowTitle(QStringLiteral("Select Report Part"));
    resize(430, 300);
    line_ = totals() ? layout_.totalsLine : layout_.lines[std::size_t(lineNo_ - 1)];

    auto* typeBox = new QGroupBox(QStringLiteral("Type"), this);
    typeBox->setGeometry(10, 8, 200, 96);
    radioFiller_ = new QRadioButton(QStringLiteral("Filler (empty space)"), typeBox);
    radioFiller_->setObjectName(QStringLiteral("RadioFiller"));
    radioFiller_->setGeometry(10, 20, 185, 20);
    radioLabel_ = new QRadioButton(QStringLiteral("Label (constant value)"), typeBox);
    radioLabel_->setObjectName(QStringLiteral("RadioLabel"));
    radioLabel_->setGeometry(10, 44, 185, 20);
    radioField_ = new QRadioButton(QStringLiteral("Field (database value)"), typeBox);
    radioField_->setObjectName(QStringLiteral("RadioField"));
    radioField_->setGeometry(10, 68, 185, 20);
    connect(radioFiller_, &QRadioButton::clicked, this, [this] { RadioFillerClick(); });
    connect(radioLabel_, &QRadioButton::clicked, this, [this] { RadioLabelClick(); });
    connect(radioField_, &QRadioButton::clicked, this, [this] { RadioFieldClick(); });

    auto* widthLabel = new QLabel(QStringLiteral("Width"), this);
    widthLabel->setGeometry(10, 112, 80, 16);
    fieldWidth_ = new QLineEdit(this);
    fieldWidth_->setObjectName(QStringLiteral("FieldWidth"));
    fieldWidth_->setGeometry(10, 130, 50, 22);
    fieldWidth_->setMaxLength(3);

    auto* labelLabel = new QLabel(QStringLiteral("Label Name"), this);
    labelLabel->setGeometry(10, 160, 200, 16);
    labelName_ = new QLineEdit(this);
    labelName_->setObjectName(QStringLiteral("LabelName"));
    labelName_->setGeometry(10, 178, 200, 22);
    labelName_->setMaxLength(40);

    auto* fieldsLabel = new QLabel(QStringLiteral("Fields"), this);
    fieldsLabel->setGeometry(220, 8, 200, 16);
    fieldList_ = new QListWidget(this);
    fieldList_->setObjectName(QStringLiteral("FieldList"));
    fieldList_->setGeometry(220, 26, 200, 174);
    if (totals()) {
        for (const char* name : ReportTotalNames())
            fieldList_->addItem(QString::fromLatin1(name));
    } else {
        for (const QString& name : ctx_.database.fieldNames)
            fieldList_->addItem(name);
    }

    auto* selected = new QGroupBox(QStringLiteral("Selected Part"), this);
    selected->setGeometry(10, 208, 410, 44);
    selPartLabel_ = new QLabel(selected);
    selPartLabel_->setObjectName(QStringLiteral("SelPartLabel"));
    selPartLabel_->setGeometry(10, 18, 390, 18);
    selPartLabel_->setText(totals() ? QStringLiteral("Totals Line, Item %1").arg(partNo_)
                                    : QStringLiteral("Line %1, Item %2").arg(lineNo_).arg(partNo_));

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(125, 262, 85, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(220, 262, 85, 28);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    const ReportPartEntry& part = line_[std::size_t(partNo_ - 1)];
    if (part.isLabel()) {
        radioLabel_->setChecked(true);
        labelName_->setText(fromStored(part.label));
        RadioLabelClick();
    } else if (part.isFiller()) {
        radioFiller_->setChecked(true);
        RadioFillerClick();
    } else {
        radioField_->setChecked(true);
        RadioFieldClick();
        const int index = totals() ? GetTotField(part.name) : GetField(part.name);
        if (index >= 0)
            fieldList_->setCurrentRow(index);
    }
    fieldWidth_->setText(QString::number(part.width));
}

bool TReportPart::totals() const {
    return lineNo_ == kTotalsLineNo;
}

int TReportPart::GetField(const std::string& name) {
    const auto& names = ReportFieldNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (name == names[i])
            return int(i);
    return -1;
}

int TReportPart::GetTotField(const std::string& name) {
    const auto& names = ReportTotalNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (name == names[i])
            return int(i);
    return -1;
}

void TReportPart::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        app::placeDialog(this, ctx_);
        app::applyColorSet(this, ctx_, app::ColorGroup::Report);
    }
}

void TReportPart::RadioFillerClick() {
    labelName_->setEnabled(false);
    labelName_->clear();
    fieldList_->setEnabled(false);
    fieldList_->setCurrentRow(-1);
}

void TReportPart::RadioLabelClick() {
    labelName_->setEnabled(true);
    fieldList_->setEnabled(false);
    fieldList_->setCurrentRow(-1);
}

void TReportPart::RadioFieldClick() {
    labelName_->setEnabled(false);
    labelName_->clear();
    fieldList_->setEnabled(true);
}

void TReportPart::OkButtonClick() {
    bool ok = false;
    const int width = fieldWidth_->text().trimmed().toInt(&ok);
    const int entry = fieldList_->currentRow();
    // A field part without a field has nothing to store: refused like a
    // width, rather than stored as a part that names no field.
    if (!ok || (radioField_->isChecked() && entry < 0)) {
        ctx_.prompter->message({app::MessageKind::Warning, QStringLiteral("Error"), kInvalidWidth});
        if (!ok)
            fieldWidth_->setFocus();
        else
            fieldList_->setFocus();
        return;
    }
    ReportPartEntry& part = line_[std::size_t(partNo_ - 1)];
    part.width = std::int16_t(width);
    FitLineToWidth(line_, lineWidth_);
    part.label.clear();
    if (radioFiller_->isChecked()) {
        part.name = kFiller;
    } else if (radioLabel_->isChecked()) {
        part.name = kLabel;
        part.label = toStored(labelName_->text(), 40);
    } else {
        part.name = totals() ? ReportTotalNames()[std::size_t(entry)]
                             : ReportFieldNames()[std::size_t(entry)];
        part.number = std::uint8_t(entry + 1);
    }
    if (totals())
        layout_.totalsLine = line_;
    else
        layout_.lines[std::size_t(lineNo_ - 1)] = line_;
    if (parentWidget())
        parentWidget()->update();
    accept();
}

} // namespace shelvix::reports
