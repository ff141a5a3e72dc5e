#include "shell/forms/ttipofday.h"

#include "app/appcontext.h"
#include "app/forms/resources.h"
#include "shell/tips.h"

#include <QCheckBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace shelvix::shell {

namespace {

QFont arial(int pixelHeight, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

} // namespace

TTipOfDay::TTipOfDay(app::AppContext& context, QWidget* parent) : QDialog(parent), ctx_(context) {
    app::initResources();
    setObjectName(QStringLiteral("TTipOfDay"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    buildControls();
    setFixedSize(475, 241);
    showTips_->setChecked(ctx_.global.showTips);
    showTip(randomTip());
}

void TTipOfDay::buildControls() {
    setFont(arial(13));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("TipPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 360, 193);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(white);
    panel->setAutoFillBackground(true);

    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("TipPicture"));
    picture->setGeometry(12, 12, 48, 48);
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/tip.svg")).pixmap(48, 48));

    auto* title = new QLabel(QStringLiteral("Did you know?"), panel);
    title->setObjectName(QStringLiteral("DidYouKnowLabel"));
    title->setFont(arial(19, true));
    title->setGeometry(72, 22, 270, 26);

    tipComment_ = new QLabel(panel);
    tipComment_->setObjectName(QStringLiteral("TipComment"));
    tipComment_->setFont(arial(15));
    tipComment_->setWordWrap(true);
    tipComment_->setTextFormat(Qt::PlainText);
    tipComment_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tipComment_->setGeometry(72, 66, 272, 112);

    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setGeometry(380, 8, 87, 27);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* next = new QPushButton(QStringLiteral("&Next Tip"), this);
    next->setObjectName(QStringLiteral("NextTipButton"));
    next->setGeometry(380, 42, 87, 27);
    connect(next, &QPushButton::clicked, this, &TTipOfDay::NextTipButtonClick);

    showTips_ = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    showTips_->setObjectName(QStringLiteral("ShowTips"));
    showTips_->setGeometry(8, 210, 250, 22);
}

void TTipOfDay::showTip(int number) {
    tip_ = number;
    tipComment_->setText(tipText(number));
}

void TTipOfDay::NextTipButtonClick() {
    showTip(nextTip(tip_));
}

void TTipOfDay::done(int result) {
    // Close, Escape and the title bar all end here.
    ctx_.global.showTips = showTips_->isChecked();
    QDialog::done(result);
}

} // namespace shelvix::shell
