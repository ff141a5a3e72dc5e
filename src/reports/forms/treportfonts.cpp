#include "reports/forms/treportfonts.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "reports/reportediting.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>

namespace shelvix::reports {

TReportFonts::TReportFonts(app::AppContext& context, ReportDefinition& current, QWidget* parent)
    : QDialog(parent), ctx_(context), current_(current) {
    setObjectName(QStringLiteral("TReportFonts"));
    setWindowTitle(QStringLiteral("Report Fonts"));
    resize(380, 250);
    const char* names[] = {"TitleFont", "ColumnFont", "BodyFont", "FootnoteFont"};
    const char* captions[] = {"Titles Font", "Column Header Font", "Report Body Font",
                              "Footnote Font"};
    const char* buttons[] = {"TitleFontButton", "ColumnFontButton", "BodyFontButton",
                             "FootnoteFontButton"};
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(QString::fromLatin1(captions[i]), this);
        l->setGeometry(10, 8 + i * 50, 250, 16);
        edits_[i] = new QLineEdit(this);
        edits_[i]->setObjectName(QString::fromLatin1(names[i]));
        edits_[i]->setGeometry(10, 26 + i * 50, 250, 22);
        edits_[i]->setReadOnly(true);
        auto* b = new QPushButton(QStringLiteral("New Font"), this);
        b->setObjectName(QString::fromLatin1(buttons[i]));
        b->setGeometry(270, 24 + i * 50, 100, 26);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { NewFontClick(i); });
    }
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(145, 212, 90, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    showFonts();
}

void TReportFonts::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        app::placeDialog(this, ctx_);
        app::applyColorSet(this, ctx_, app::ColorGroup::Report);
    }
}

void TReportFonts::showFonts() {
    for (int i = 0; i < 4; ++i)
        edits_[i]->setText(fontText(current_.fonts[std::size_t(kFontIndex[i])]));
}

void TReportFonts::NewFontClick(int edit) {
    ReportFontSpec& font = current_.fonts[std::size_t(kFontIndex[edit])];
    app::FontSpec initial;
    initial.name = fromStored(font.name);
    initial.size = font.size;
    initial.color = font.color;
    initial.bold = font.bold;
    initial.italic = font.italic;
    initial.underline = font.underline;
    initial.strikeout = font.strikeout;
    const std::optional<app::FontSpec> chosen =
        ctx_.prompter->chooseFont({.initial = initial, .color = true});
    if (!chosen)
        return;
    font.name = toStored(chosen->name, 50);
    font.size = std::int16_t(std::clamp(chosen->size, 1, 999));
    font.color = chosen->color;
    font.bold = chosen->bold;
    font.italic = chosen->italic;
    font.underline = chosen->underline;
    font.strikeout = chosen->strikeout;
    showFonts();
}

} // namespace shelvix::reports
