#include "find/forms/tsearchandreplace.h"

#include "app/databases.h"
#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"
#include "find/search.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <cmath>

namespace shelvix::find {

namespace {

constexpr int kCounterTop = 225;
constexpr int kCounterLeft[3] = {70, 190, 310};

int scaled(double pixels, double factor) {
    return int(std::lround(pixels * factor));
}

} // namespace

QString TSearchAndReplace::grouped(int n) {
    QString digits = QString::number(std::abs(static_cast<long long>(n)));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return n < 0 ? u'-' + digits : digits;
}

void CounterFrame::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const int values[3] = {counters.processed, counters.found, counters.changed};
    const QFontMetrics fm(font());
    for (int i = 0; i < 3; ++i) {
        // The places are the window's; the frame lies over them.
        const QPoint at =
            mapFrom(window(), QPoint(scaled(kCounterLeft[i], factor), scaled(kCounterTop, factor)));
        p.drawText(at.x(), at.y() + fm.ascent(), TSearchAndReplace::grouped(values[i]));
    }
}

TSearchAndReplace::TSearchAndReplace(app::AppContext& context, SearchAndReplace& logic,
                                     QWidget* parent)
    : QDialog(parent), ctx_(context), logic_(logic) {
    setObjectName(QStringLiteral("TSearchAndReplace"));
    setWindowTitle(QStringLiteral("Search and Replace"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    resize(420, 300);

    const auto label = [this](const char* name, const QString& text, int left, int top, int width) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(left, top, width, 18);
        l->setProperty("colorRole", QStringLiteral("major"));
        return l;
    };
    label("FieldLabel", QStringLiteral("Field "), 8, 8, 200);
    FieldBox = new QComboBox(this);
    FieldBox->setObjectName(QStringLiteral("FieldBox"));
    FieldBox->setGeometry(8, 26, 220, 24);
    FieldBox->setMaxVisibleItems(15);
    label("SearchLabel", QStringLiteral("Text To Search For"), 8, 58, 300);
    SearchText = new QLineEdit(this);
    SearchText->setObjectName(QStringLiteral("SearchText"));
    SearchText->setGeometry(8, 76, 404, 24);
    label("ReplaceLabel", QStringLiteral("Replacement Text"), 8, 106, 300);
    ReplaceText = new QLineEdit(this);
    ReplaceText->setObjectName(QStringLiteral("ReplaceText"));
    ReplaceText->setGeometry(8, 124, 404, 24);
    ConfirmBox = new QCheckBox(QStringLiteral("Confirm Before Replacing"), this);
    ConfirmBox->setObjectName(QStringLiteral("ConfirmBox"));
    ConfirmBox->setGeometry(8, 156, 300, 22);

    Counters = new CounterFrame(this);
    Counters->setObjectName(QStringLiteral("CounterFrame"));
    Counters->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Counters->setGeometry(8, 186, 404, 60);
    const auto counterLabel = [this](const char* name, const QString& text, int left) {
        auto* l = new QLabel(text, Counters);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(left, 8, 100, 18);
        l->setProperty("colorRole", QStringLiteral("major"));
    };
    counterLabel("ProcessedLabel", QStringLiteral("Processed"), 50);
    counterLabel("FoundLabel", QStringLiteral("Found"), 174);
    counterLabel("ChangedLabel", QStringLiteral("Changed"), 290);

    StartButton = new QPushButton(QStringLiteral("&Start Search"), this);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    StartButton->setGeometry(90, 258, 110, 28);
    StartButton->setAutoDefault(false);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(220, 258, 110, 28);
    CancelButton->setAutoDefault(false);
    connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    connect(FieldBox, &QComboBox::activated, this, [this] { FieldBoxChange(); });
}

void TSearchAndReplace::execute(app::AppContext& context, app::Databases& databases, Search& search,
                                SearchView& view, QWidget* parent) {
    SearchAndReplace logic(context, databases, search, view);
    TSearchAndReplace form(context, logic, parent);
    form.exec();
}

void TSearchAndReplace::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TSearchAndReplace::FormShow() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    app::placeDialog(this, ctx_);
    setFixedSize(size());
    Counters->factor = ctx_.screenFactor;
    SetColors();
    FieldBox->clear();
    for (int f = 1; f <= db::kFieldCount; ++f)
        FieldBox->addItem(ctx_.database.fieldNames[std::size_t(f - 1)]);
    FieldBox->setCurrentIndex(-1);
    field_ = 0;
}

void TSearchAndReplace::SetColors() {
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
}

void TSearchAndReplace::FieldBoxChange() {
    field_ = FieldBox->currentIndex() + 1;
    SearchText->clear();
    ReplaceText->clear();
    if (field_ < 1)
        return;
    const db::FieldInfo& f = db::fieldInfo(field_);
    QLineEdit* boxes[2] = {SearchText, ReplaceText};
    for (QLineEdit* box : boxes) {
        box->setInputMask(QString());
        switch (f.kind) {
        case db::FieldKind::Text:
            box->setMaxLength(f.width);
            break;
        case db::FieldKind::Date: {
            // Day and month digits optional, the year's required.
            const QString sep = QString(u'\\') + ctx_.formats.dateSeparator();
            box->setInputMask(QStringLiteral("00") + sep + QStringLiteral("00") + sep +
                              QStringLiteral("9999"));
            break;
        }
        default:
            box->setMaxLength(9);
            break;
        }
    }
}

void TSearchAndReplace::showCounters(const ReplaceCounters& counters) {
    Counters->counters = counters;
    Counters->update();
}

ReplaceAnswer TSearchAndReplace::confirm(db::Table& table, std::uint32_t recno) {
    QString title;
    try {
        const db::RecordView r = table.record(recno);
        title = db::decodeField(r.text(r.fieldIndex("TITLE")), table.codePage());
    } catch (const db::DatabaseError&) {
    }
    QApplication::restoreOverrideCursor();
    const app::Button answer = ctx_.prompter->confirm(
        QStringLiteral("Confirm"),
        QStringLiteral("Item = \"") + title + QStringLiteral("\".  Change this record?"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return answer == app::Button::Yes ? ReplaceAnswer::Yes : ReplaceAnswer::No;
}

void TSearchAndReplace::StartButtonClick() {
    if (running_)
        return;
    if (field_ < 1) {
        ctx_.prompter->error(replaceProblemText(ReplaceProblem::NoField));
        FieldBox->setFocus();
        return;
    }
    const db::FieldInfo& f = db::fieldInfo(field_);
    const char type = f.kind == db::FieldKind::Text   ? 'C'
                      : f.kind == db::FieldKind::Date ? 'D'
                                                      : 'N';
    // Masked boxes read with their blanks: an untouched date is "  /  /    ".
    const auto read = [](const QLineEdit* box) {
        return box->inputMask().isEmpty() ? box->text() : box->displayText();
    };
    ReplaceValues values;
    const ReplaceProblem problem =
        prepareReplace(type, f.width, read(SearchText), read(ReplaceText), ctx_.formats, values);
    if (problem != ReplaceProblem::None) {
        ctx_.prompter->error(replaceProblemText(problem));
        const bool onSearch =
            problem == ReplaceProblem::BadSearchNumber || problem == ReplaceProblem::BadSearchDate;
        (onSearch ? SearchText : ReplaceText)->setFocus();
        return;
    }

    running_ = true;
    stopRequested_ = false;
    showCounters({});
    // Only Cancel stays live, to stop the pass; the counters show how far it is.
    for (QWidget* w : std::initializer_list<QWidget*>{FieldBox, SearchText, ReplaceText, ConfirmBox,
                                                      StartButton})
        w->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setCursor(Qt::WaitCursor);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    ReplaceHooks hooks;
    if (ConfirmBox->isChecked())
        hooks.confirm = [this](db::Table& t, std::uint32_t recno) { return confirm(t, recno); };
    hooks.counted = [&](const ReplaceCounters& c) {
        showCounters(c);
        if (sinceEvents.elapsed() >= 50) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    };
    hooks.stopRequested = [this] { return stopRequested_; };
    ReplaceCounters counters;
    QString error;
    const SearchAndReplace::Result result = logic_.run(field_, values, hooks, counters, error);
    showCounters(counters);
    unsetCursor();
    QApplication::restoreOverrideCursor();
    for (QWidget* w : std::initializer_list<QWidget*>{FieldBox, SearchText, ReplaceText, ConfirmBox,
                                                      StartButton})
        w->setEnabled(true);
    running_ = false;

    switch (result) {
    case SearchAndReplace::Result::InUse:
        ctx_.prompter->error(SearchAndReplace::kInUseText);
        return;
    case SearchAndReplace::Result::NotStarted:
        ctx_.prompter->error(SearchAndReplace::kNotStartedText);
        return;
    case SearchAndReplace::Result::Failed:
        ctx_.prompter->error(error);
        return;
    case SearchAndReplace::Result::Stopped:
        QDialog::reject();
        return;
    case SearchAndReplace::Result::Done:
        ctx_.prompter->message({.kind = app::MessageKind::Information,
                                .caption = QStringLiteral("Finished"),
                                .text = SearchAndReplace::kCompleteText});
        accept();
        return;
    }
}

void TSearchAndReplace::CancelButtonClick() {
    reject();
}

// While the pass runs, closing the window stops it where it is.
void TSearchAndReplace::reject() {
    if (running_) {
        stopRequested_ = true;
        return;
    }
    QDialog::reject();
}

} // namespace shelvix::find
