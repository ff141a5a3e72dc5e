#include "reports/forms/reportlook.h"

#include "app/forms/colors.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>

namespace shelvix::reports {

void applyReportColors(QWidget* form, const app::AppContext& ctx) {
    app::applyColorSet(form, ctx, app::ColorGroup::Report);
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
        if (!qobject_cast<QCheckBox*>(b) && !qobject_cast<QRadioButton*>(b))
            continue;
        QPalette p = b->palette();
        const QColor fill = p.color(QPalette::Active, QPalette::Window);
        p.setColor(QPalette::Disabled, QPalette::WindowText,
                   fill.lightness() > 128 ? fill.darker(190) : fill.lighter(190));
        p.setColor(QPalette::Disabled, QPalette::ButtonText,
                   p.color(QPalette::Disabled, QPalette::WindowText));
        b->setPalette(p);
    }
}

} // namespace shelvix::reports
