#include "app/forms/qtprompter.h"

#include "app/paint/fontfaces.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <utility>

namespace shelvix::app {

namespace {

constexpr std::array<std::pair<Button, QMessageBox::StandardButton>, 7> kButtons = {{
    {Button::Ok, QMessageBox::Ok},
    {Button::Yes, QMessageBox::Yes},
    {Button::No, QMessageBox::No},
    {Button::Abort, QMessageBox::Abort},
    {Button::Retry, QMessageBox::Retry},
    {Button::Ignore, QMessageBox::Ignore},
    {Button::Cancel, QMessageBox::Cancel},
}};

QMessageBox::StandardButton toQt(Button b) {
    for (auto [ours, qt] : kButtons) {
        if (ours == b)
            return qt;
    }
    return QMessageBox::NoButton;
}

Button fromQt(QMessageBox::StandardButton b) {
    for (auto [ours, qt] : kButtons) {
        if (qt == b)
            return ours;
    }
    return Button::NoButton;
}

QMessageBox::Icon icon(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Question:
        return QMessageBox::Question;
    case MessageKind::Information:
        break;
    }
    return QMessageBox::Information;
}

QColor fromWindowsColor(int c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

int toWindowsColor(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

} // namespace

QStringList qtNameFilters(const QString& filter) {
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(trailingPatterns);
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
            for (const QString& p : {pattern, pattern.toUpper(), pattern.toLower()}) {
                if (!patterns.contains(p))
                    patterns.append(p);
            }
        }
        result.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

QWidget* QtPrompter::owner() const {
    if (parent_)
        return parent_;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

Button QtPrompter::message(const Message& m) {
    QMessageBox box(icon(m.kind), m.caption, m.text, QMessageBox::NoButton, owner());
    // Texts are ours or hold file names: never rich text.
    box.setTextFormat(Qt::PlainText);
    for (auto [ours, qt] : kButtons) {
        if (m.buttons.testFlag(ours))
            box.addButton(qt);
    }
    box.setDefaultButton(toQt(m.effectiveDefault()));
    const Button escape = escapeButton(m.buttons);
    if (escape != Button::NoButton)
        box.setEscapeButton(toQt(escape));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        return escape;
    return fromQt(box.standardButton(clicked));
}

void QtPrompter::beep(Beep) {
    // The desktop offers one bell for every kind.
    QApplication::beep();
}

std::optional<QString> QtPrompter::chooseFile(const FileRequest& r) {
    QFileDialog dialog(owner(), r.title);
    const QFileInfo initial(r.initialPath);
    if (!r.initialPath.isEmpty() && initial.isDir()) {
        dialog.setDirectory(r.initialPath);
    } else if (!r.initialPath.isEmpty()) {
        dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
    if (!r.filter.isEmpty())
        dialog.setNameFilters(qtNameFilters(r.filter));
    dialog.setDefaultSuffix(r.defaultExtension);
    switch (r.mode) {
    case FileMode::Open:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(r.flags.testFlag(FileFlag::FileMustExist) ? QFileDialog::ExistingFile
                                                                     : QFileDialog::AnyFile);
        break;
    case FileMode::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         !r.flags.testFlag(FileFlag::OverwritePrompt));
        break;
    case FileMode::Directory:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString path = dialog.selectedFiles().constFirst();
    if (r.flags.testFlag(FileFlag::PathMustExist) && !QFileInfo(path).absoluteDir().exists())
        return std::nullopt;
    return path;
}

namespace {

// Qt's font dialog has no colour: a "Color..." button beside its own, and
// the sample drawn in the colour chosen.
void offerColor(QFontDialog& dialog, int& color) {
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    if (!buttons)
        return;
    QLineEdit* sample = nullptr;
    for (QLineEdit* e : dialog.findChildren<QLineEdit*>())
        if (qobject_cast<QGroupBox*>(e->parentWidget()))
            sample = e;
    const auto showColor = [sample, &color] {
        if (!sample)
            return;
        QPalette p = sample->palette();
        p.setColor(QPalette::Text, fromWindowsColor(color));
        sample->setPalette(p);
    };
    showColor();
    QPushButton* pick =
        buttons->addButton(QStringLiteral("&Color..."), QDialogButtonBox::ActionRole);
    pick->setObjectName(QStringLiteral("ColorButton"));
    QObject::connect(pick, &QPushButton::clicked, &dialog, [&dialog, &color, showColor] {
        QColorDialog colors(fromWindowsColor(color), &dialog);
        if (colors.exec() == QDialog::Accepted) {
            color = toWindowsColor(colors.selectedColor());
            showColor();
        }
    });
}

} // namespace

std::optional<FontSpec> QtPrompter::chooseFont(const FontRequest& r) {
    // Opened on the face that draws the stored name, so its styles show.
    QFont font(installedFace(r.initial.name), r.initial.size);
    font.setBold(r.initial.bold);
    font.setItalic(r.initial.italic);
    font.setUnderline(r.initial.underline);
    font.setStrikeOut(r.initial.strikeout);

    QFontDialog dialog(font, owner());
    dialog.setWindowTitle(r.title.isEmpty() ? QStringLiteral("Font") : r.title);
    int color = r.initial.color;
    if (r.color)
        offerColor(dialog, color);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;

    const QFont chosen = dialog.selectedFont();
    FontSpec def = r.initial;
    def.name = storedFace(chosen.family(), r.initial.name);
    def.size = chosen.pointSize() > 0 ? chosen.pointSize() : r.initial.size;
    def.bold = chosen.bold();
    def.italic = chosen.italic();
    if (r.effects) {
        def.underline = chosen.underline();
        def.strikeout = chosen.strikeOut();
    }
    if (r.color)
        def.color = color;
    return def;
}

std::optional<int> QtPrompter::chooseColor(int initial) {
    QColorDialog dialog(fromWindowsColor(initial), owner());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return toWindowsColor(dialog.selectedColor());
}

void configurePrinter(QPrinter& printer, const PrintSetup& setup) {
    if (!setup.outputFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(setup.outputFile);
    } else if (!setup.printer.isEmpty()) {
        printer.setPrinterName(setup.printer);
    }
    if (!setup.paperSize.isEmpty())
        printer.setPageSize(QPageSize(setup.paperSize, QPageSize::Millimeter));
    printer.setPageOrientation(setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (setup.fromPage > 0 && setup.toPage >= setup.fromPage) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(setup.fromPage, setup.toPage);
    } else {
        printer.setPrintRange(QPrinter::AllPages);
    }
    printer.setCopyCount(1);
}

PrintSetup printSetupOf(const QPrinter& printer) {
    PrintSetup setup;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        setup.outputFile = printer.outputFileName();
    else
        setup.printer = printer.printerName();
    setup.copies = std::max(1, printer.copyCount());
    if (printer.printRange() == QPrinter::PageRange) {
        setup.fromPage = printer.fromPage();
        setup.toPage = printer.toPage();
    }
    const QPageLayout layout = printer.pageLayout();
    setup.paperSize = layout.pageSize().size(QPageSize::Millimeter);
    setup.landscape = layout.orientation() == QPageLayout::Landscape;
    return setup;
}

std::optional<PrintSetup> QtPrompter::choosePrinter(const PrintRequest& r) {
    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, r.initial);
    printer.setCopyCount(std::max(1, r.initial.copies));
    QPrintDialog dialog(&printer, owner());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, r.pageCount > 0);
    if (r.pageCount > 0)
        dialog.setMinMax(1, r.pageCount);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return printSetupOf(printer);
}

namespace {

void setUp(QInputDialog& dialog, const QString& caption, const QString& label) {
    dialog.setObjectName(QStringLiteral("InputBox"));
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
}

} // namespace

std::optional<QString> QtPrompter::askText(const TextRequest& r) {
    QInputDialog dialog(owner());
    setUp(dialog, r.caption, r.label);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(r.text);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<int> QtPrompter::chooseItem(const ChoiceRequest& r) {
    if (r.items.isEmpty())
        return std::nullopt;
    QInputDialog dialog(owner());
    setUp(dialog, r.caption, r.label);
    dialog.setComboBoxItems(r.items);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(r.items.value(r.current));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const qsizetype at = r.items.indexOf(dialog.textValue());
    return at < 0 ? std::nullopt : std::optional<int>(int(at));
}

std::optional<int> QtPrompter::askNumber(const NumberRequest& r) {
    QInputDialog dialog(owner());
    setUp(dialog, r.caption, r.label);
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(r.minimum, r.maximum);
    dialog.setIntValue(r.value);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.intValue();
}

} // namespace shelvix::app
