#include "shell/forms/tcolorconfig.h"

#include "app/forms/colors.h"
#include "app/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace shelvix::shell {

namespace {

constexpr int kDesignWidth = 456;
constexpr int kDesignHeight = 330;

QFont arial(int pixelHeight, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

} // namespace

TColorConfig::TColorConfig(app::AppContext& context, app::ColorConfigMode mode, QWidget* parent)
    : QDialog(parent), ctx_(context), mode_(mode),
      working_(app::workingSetFor(context.database, mode)) {
    setObjectName(QStringLiteral("TColorConfig"));
    setWindowTitle(QStringLiteral("Color Configuration"));
    buildControls();
    setFixedSize(kDesignWidth, kDesignHeight);
    paintSamples();
}

void TColorConfig::buildControls() {
    setFont(arial(13));

    const auto heading = [this](const char* name, const char* text, int left, int top) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(arial(15, true));
        l->setGeometry(left, top, 200, 20);
        app::setColorRole(l, "major");
        return l;
    };
    const auto button = [this](const char* name, const char* text, int left, int top,
                               app::ColorElement element) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, top, 97, 25);
        connect(b, &QPushButton::clicked, this, [this, element] { pickColor(element); });
        return b;
    };

    // Left column: the window, the radio button and the check box.
    heading("WindowLabel", "Window", 12, 8);
    button("MainBack", "Background", 12, 32, app::ColorMainBackground);
    button("MajorTitles", "Major Titles", 114, 32, app::ColorMajorTitle);
    button("MinorTitles", "Minor Titles", 12, 62, app::ColorMinorTitle);

    heading("RadioLabel", "Radio Button", 12, 100);
    auto* radio = new QRadioButton(QStringLiteral("Sample Radio"), this);
    radio->setObjectName(QStringLiteral("RadioButton"));
    radio->setGeometry(12, 124, 199, 22);
    radio->setChecked(true);
    button("RadioText", "Text", 12, 152, app::ColorRadioText);
    button("RadioBack", "Background", 114, 152, app::ColorRadioBackground);

    heading("CheckLabel", "Check Box", 12, 190);
    auto* check = new QCheckBox(QStringLiteral("Sample Check"), this);
    check->setObjectName(QStringLiteral("CheckBox"));
    check->setGeometry(12, 214, 199, 22);
    check->setChecked(true);
    button("CheckText", "Text", 12, 242, app::ColorCheckText);
    button("CheckBack", "Background", 114, 242, app::ColorCheckBackground);

    // Right column: the edit box, the combo box and the list box.
    heading("EditLabel", "Edit Box", 240, 8);
    auto* edit = new QLineEdit(QStringLiteral("Sample Text"), this);
    edit->setObjectName(QStringLiteral("EditBox"));
    edit->setGeometry(240, 32, 199, 24);
    button("EditBoxText", "Text", 240, 62, app::ColorEditText);
    button("EditBoxBack", "Background", 342, 62, app::ColorEditBackground);

    heading("ComboLabel", "Combo Box", 240, 100);
    auto* combo = new QComboBox(this);
    combo->setObjectName(QStringLiteral("ComboBox"));
    combo->addItems({QStringLiteral("Sample Combo"), QStringLiteral("Second Item")});
    combo->setGeometry(240, 124, 199, 24);
    button("ComboText", "Text", 240, 152, app::ColorComboText);
    button("ComboBack", "Background", 342, 152, app::ColorComboBackground);

    heading("ListLabel", "List Box", 240, 190);
    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("ListBox"));
    list->addItems({QStringLiteral("Sample List"), QStringLiteral("Second Item"),
                    QStringLiteral("Third Item")});
    list->setGeometry(240, 214, 97, 54);
    button("ListText", "Text", 342, 214, app::ColorListBoxText);
    button("ListBack", "Background", 342, 243, app::ColorListBoxBackground);

    auto* predefined = new QLabel(QStringLiteral("Predefined Color Combinations"), this);
    predefined->setObjectName(QStringLiteral("PredefinedLabel"));
    predefined->setGeometry(12, 278, 199, 18);
    app::setColorRole(predefined, "minor");
    colorSets_ = new QComboBox(this);
    colorSets_->setObjectName(QStringLiteral("ColorSets"));
    colorSets_->addItems(app::colorCombinationNames());
    colorSets_->setMaxVisibleItems(app::kColorCombinationCount + 1);
    colorSets_->setGeometry(12, 298, 199, 24);
    connect(colorSets_, &QComboBox::activated, this, &TColorConfig::ColorSetsChange);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(240, 297, 97, 27);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { OkClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(342, 297, 97, 27);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TColorConfig::paintSamples() {
    // The dialog is its own sample: every control shows the working set by
    // the same rules the windows follow.
    app::applyColorSet(this, working_);
}

void TColorConfig::pickColor(app::ColorElement element) {
    if (!ctx_.prompter)
        return;
    if (const std::optional<int> chosen = ctx_.prompter->chooseColor(working_[element])) {
        working_[element] = *chosen & 0xFFFFFF;
        paintSamples();
    }
}

void TColorConfig::ColorSetsChange(int index) {
    if (app::applyCombination(working_, index))
        paintSamples();
}

bool TColorConfig::OkClick() {
    const bool mainNow = app::commitWorkingSet(ctx_.database, mode_, working_);
    accept();
    return mainNow;
}

} // namespace shelvix::shell
