#include "shell/forms/tmysortorder.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "db/fieldtable.h"
#include "shell/maintenance.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace shelvix::shell {

namespace {
constexpr int kDesignWidth = 300;
constexpr int kDesignHeight = 318;
} // namespace

TMySortOrder::TMySortOrder(app::AppContext& context, Maintenance& maintenance, QWidget* parent)
    : QDialog(parent), ctx_(context), maintenance_(maintenance) {
    setObjectName(QStringLiteral("TMySortOrder"));
    setWindowTitle(QStringLiteral("Sort Order"));
    setFixedSize(kDesignWidth, kDesignHeight);

    static constexpr const char* kCaptions[] = {"Primary Sort", "Secondary Sort",
                                                "Third Level Sort", "Fourth Level Sort"};
    QStringList items{QStringLiteral("<NONE>")};
    for (const QString& name : ctx_.database.fieldNames)
        items << name;
    for (int i = 0; i < 4; ++i) {
        const int top = 8 + i * 64;
        auto* bevel = new QFrame(this);
        bevel->setObjectName(QStringLiteral("Bevel%1").arg(i + 1));
        bevel->setFrameShape(QFrame::Box);
        bevel->setFrameShadow(QFrame::Sunken);
        bevel->setGeometry(8, top, kDesignWidth - 16, 58);
        auto* label = new QLabel(QString::fromLatin1(kCaptions[i]), this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setGeometry(18, top + 4, 200, 20);
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("ComboBox%1").arg(i + 1));
        combo->setEditable(false);
        combo->addItems(items);
        combo->setMaxVisibleItems(12);
        combo->setGeometry(18, top + 26, kDesignWidth - 36, 24);
        label->setBuddy(combo);
        combos_[std::size_t(i)] = combo;
    }

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(60, 276, 85, 27);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(155, 276, 85, 27);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TMySortOrder::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMySortOrder::FormShow() {
    for (std::size_t i = 0; i < combos_.size(); ++i) {
        const int field = ctx_.database.sortOrder[i];
        // A hand-edited level outside the fields reads as none.
        combos_[i]->setCurrentIndex(field >= 1 && field <= db::kFieldCount ? field : 0);
    }
    app::applyColorSet(this, ctx_, app::ColorGroup::Configure);
}

void TMySortOrder::OkButtonClick() {
    std::array<int, 4> levels{};
    for (std::size_t i = 0; i < combos_.size(); ++i)
        levels[i] = std::max(0, combos_[i]->currentIndex());
    if (maintenance_.setSortOrder(levels))
        accept();
}

} // namespace shelvix::shell
