// The edit form's ISBN: a check digit that does not match is marked, a
// barcode scanner's digits land in ISBN wherever the focus is, and a book
// whose ISBN the catalogue holds already is added only when the user says so.
#include "app/appcontext.h"
#include "app/colors.h"
#include "app/forms/colors.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "db/duplicates.h"
#include "db/isbn.h"
#include "db/textcodec.h"
#include "edit/forms/tmyedit.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <utility>

namespace shelvix::edit {

namespace {

// A scanner types a barcode's thirteen digits and Enter faster than anyone
// types by hand: each key within this of the one before.
constexpr qint64 kScannerGapMs = 50;

std::string isbnBytes(const QString& text) {
    // Characters outside Latin-1 become '?', which no ISBN holds.
    return text.toLatin1().toStdString();
}

} // namespace

void TMyEdit::markIsbn() {
    auto* isbn = static_cast<QLineEdit*>(controls_[db::field::ISBN - 1]);
    const bool wrong =
        db::isbn::check(isbnBytes(isbn->text())) == db::isbn::Status::WrongCheckDigit;
    const app::ColorSet& colors = ctx_.database.colors[app::ColorsEdit];
    const QColor fill =
        app::toQColor(wrong ? app::warningColor(colors) : colors[app::ColorEditBackground]);
    QPalette p = isbn->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        p.setColor(group, QPalette::Base, fill);
    isbn->setPalette(p);
    isbn->setToolTip(wrong ? QStringLiteral("ISBN check digit does not match") : QString());
}

// Keeps the run of digits typed into the focused control, and what the
// control held before the run began.
void TMyEdit::noteTypedKey(QObject* target, const QKeyEvent* event) {
    QWidget* focused = QApplication::focusWidget();
    if (target != focused)
        return; // the same key passed on to a parent
    const QString text = event->text();
    const bool digit = text.size() == 1 && text[0] >= u'0' && text[0] <= u'9' &&
                       !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!digit) {
        keyRun_ = {};
        return;
    }
    const qint64 now = clock_.elapsed();
    if (keyRun_.digits.isEmpty() || keyRun_.target != focused ||
        now - keyRun_.last > kScannerGapMs) {
        keyRun_ = {};
        keyRun_.target = focused;
        keyRun_.first = now;
        if (const QLineEdit* e = editPart(focused)) {
            keyRun_.before = e->text();
            keyRun_.cursor = e->cursorPosition();
        }
    }
    keyRun_.digits += text;
    keyRun_.last = now;
}

bool TMyEdit::takeScannedIsbn() {
    const KeyRun run = std::exchange(keyRun_, {});
    if (run.digits.size() != 13 || !run.target || clock_.elapsed() - run.last > kScannerGapMs ||
        db::isbn::check(isbnBytes(run.digits)) != db::isbn::Status::Valid)
        return false;
    // The digits leave the control they were typed into as it was.
    if (QLineEdit* e = editPart(run.target)) {
        e->setText(run.before);
        e->setCursorPosition(run.cursor);
    }
    auto* isbn = static_cast<QLineEdit*>(controls_[db::field::ISBN - 1]);
    isbn->setText(run.digits);
    pages_->setCurrentIndex(editControls()[db::field::ISBN - 1].page);
    isbn->setFocus(Qt::OtherFocusReason);
    enterKey(isbn);
    return true;
}

bool TMyEdit::mayAddIsbn(db::Table& table, const QString& isbn) {
    if (!ctx_.global.warnDuplicateIsbns)
        return true;
    std::uint32_t recno = 0;
    QString title;
    try {
        recno = db::findSameIsbn(table, isbnBytes(isbn));
        if (recno)
            title = db::decodeField(table.record(recno).text("TITLE"), table.codePage());
    } catch (const db::DatabaseError& e) {
        app::showError(*ctx_.prompter, e);
        return false;
    }
    if (!recno)
        return true;
    // The book already there, as the user finds it again: its title and
    // its record number.
    const QString where =
        title.isEmpty() ? QStringLiteral("record %1").arg(recno)
                        : QStringLiteral("\"%1\", record %2").arg(title, QString::number(recno));
    ctx_.prompter->beep(app::Beep::Question);
    return ctx_.prompter->message(
               {.kind = app::MessageKind::Warning,
                .caption = QStringLiteral("Warning"),
                .text = QStringLiteral("A book with ISBN %1 is already in the catalogue (%2). "
                                       "Add it anyway?")
                            .arg(isbn.trimmed(), where),
                .buttons = app::Button::Yes | app::Button::No,
                .defaultButton = app::Button::No}) == app::Button::Yes;
}

} // namespace shelvix::edit
