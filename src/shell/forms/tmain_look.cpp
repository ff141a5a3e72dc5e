// The main window's screen-size, display-format and font commands.
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "app/screensize.h"
#include "shell/formatmenu.h"
#include "shell/forms/tmain.h"
#include "viewer/forms/viewergrid.h"
#include "viewer/gridmodel.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

namespace shelvix::shell {

namespace {

QAction* checkItem(QMenu* menu, const char* objectName, const char* text,
                   const char* shortcut = nullptr) {
    QAction* a = menu->addAction(QString::fromLatin1(text));
    a->setObjectName(QString::fromLatin1(objectName));
    a->setCheckable(true);
    if (shortcut)
        a->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
    return a;
}

} // namespace

void TMain::buildScreenSizeMenu(QMenu* options) {
    QMenu* menu = options->addMenu(QStringLiteral("Screen Si&ze"));
    menu->setObjectName(QStringLiteral("MenuScreenSize"));
    for (std::size_t i = 0; i < app::screenSizes().size(); ++i) {
        const app::ScreenSizeInfo& s = app::screenSizes()[i];
        QAction* a = checkItem(menu, s.menuItem, s.caption, s.shortcut);
        connect(a, &QAction::triggered, this, [this, size = s.size] { chooseScreenSize(size); });
        screenSizeItems_[i] = a;
    }
}

void TMain::buildFormatMenus(QMenu* options) {
    const auto item = [this](QMenu* menu, const char* name, const char* text, auto run) {
        QAction* a = checkItem(menu, name, text);
        connect(a, &QAction::triggered, this, run);
        formatItems_.push_back(a);
    };
    QMenu* currency = options->addMenu(QStringLiteral("C&urrency Format"));
    currency->setObjectName(QStringLiteral("MenuCurrencyFormat"));
    item(currency, "MenuCurrencyUS", "&U.S. Dollars", [this] { currencyClick(1); });
    item(currency, "MenuCurrencyWin", "&Windows Setting", [this] { currencyClick(2); });

    QMenu* numeric = options->addMenu(QStringLiteral("&Numeric Format"));
    numeric->setObjectName(QStringLiteral("MenuNumericFormat"));
    item(numeric, "MenuNumericUS", "&U.S. Format", [this] { numericClick(1); });
    item(numeric, "MenuNumericWin", "&Windows Setting", [this] { numericClick(2); });

    QMenu* date = options->addMenu(QStringLiteral("&Date Format"));
    date->setObjectName(QStringLiteral("MenuDateFormat"));
    for (const db::DateFormatInfo& f : db::dateFormats())
        item(date, f.menuItem, f.caption, [this, n = f.number] { dateFormatClick(n); });
    date->addSeparator();
    item(date, "MenuDateLeadingZeros", "&Leading Zeros", [this] { MenuDateLeadingZerosClick(); });
}

void TMain::buildFontItems(QMenu* options) {
    const auto item = [this, options](const char* name, const char* text, const char* shortcut,
                                      app::FontSpec app::DatabaseSettings::*font) {
        QAction* a = options->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        connect(a, &QAction::triggered, this, [this, font] { chooseFont(ctx_.database.*font); });
    };
    item("MenuLabelFont", "&Label Font", "Shift+F8", &app::DatabaseSettings::labelFont);
    item("MenuEditFont", "&Edit Font", "Shift+F9", &app::DatabaseSettings::editFont);
    item("MenuButtonFont", "&Button Font", "Shift+F10", &app::DatabaseSettings::buttonFont);
}

// The question before a book goes in twice; the tick follows the setting
// read at start-up whenever the menu opens.
void TMain::buildDuplicateIsbnItem(QMenu* options) {
    options->addSeparator();
    QAction* a = options->addAction(QStringLiteral("Warn About Duplicate ISBNs"));
    a->setObjectName(QStringLiteral("MenuWarnDuplicateIsbns"));
    a->setCheckable(true);
    connect(options, &QMenu::aboutToShow, a,
            [this, a] { a->setChecked(ctx_.global.warnDuplicateIsbns); });
    connect(a, &QAction::triggered, this,
            [this](bool checked) { ctx_.global.warnDuplicateIsbns = checked; });
}

// ------------------------------------------------------------ screen size

// The screen is read once; a size the context already has stands in for it.
void TMain::ApplyScreenSize() {
    if (!ctx_.screenSize.isValid()) {
        const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        ctx_.screenSize = s ? s->geometry().size() : QSize(640, 480);
    }
    ctx_.screenFactor = app::startupScreenFactor(ctx_.global.windowSize, ctx_.screenSize);
    tickScreenSize();
}

void TMain::tickScreenSize() {
    const int ticked = app::sizeForFactor(ctx_.screenFactor);
    for (std::size_t i = 0; i < screenSizeItems_.size(); ++i)
        screenSizeItems_[i]->setChecked(app::screenSizes()[i].size == ticked);
}

void TMain::chooseScreenSize(int size) {
    app::chooseScreenSize(ctx_, size);
    // A checkable item ticks or unticks itself when chosen; put the ticks
    // back to what the factor is.
    tickScreenSize();
}

// ------------------------------------------------------------- formats

void TMain::tickFormatItems() {
    for (QAction* a : formatItems_)
        a->setChecked(formatTicked(ctx_, a->objectName().toLatin1().constData()));
}

void TMain::dateFormatClick(int number) {
    const bool changed = chooseDateFormat(ctx_, number);
    tickFormatItems();
    if (changed)
        viewerGrid_->gridModel()->refreshTexts();
}

void TMain::MenuDateLeadingZerosClick() {
    toggleLeadingZeros(ctx_);
    tickFormatItems();
    viewerGrid_->gridModel()->refreshTexts();
}

void TMain::currencyClick(int style) {
    chooseCurrencyFormat(ctx_, style);
    tickFormatItems();
}

void TMain::numericClick(int style) {
    chooseNumericFormat(ctx_, style);
    tickFormatItems();
}

// ---------------------------------------------------------------- fonts

void TMain::ApplyFonts() {
    app::applyFonts(this, ctx_);
}

void TMain::chooseFont(app::FontSpec& font) {
    const std::optional<app::FontSpec> chosen = ctx_.prompter->chooseFont({.initial = font});
    if (!chosen)
        return;
    font = *chosen;
    ApplyFonts();
}

} // namespace shelvix::shell
