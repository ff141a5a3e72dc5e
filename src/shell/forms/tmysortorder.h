#pragma once

#include "app/appcontext.h"

#include <QDialog>
#include <array>

class QComboBox;

namespace shelvix::shell {

class Maintenance;

// "Sort Order": four pick-only lists, "<NONE>" then the 36 fields, so that
// item i is field i. Ok puts the new order in place or stays open.
class TMySortOrder : public QDialog {
    Q_OBJECT
public:
    TMySortOrder(app::AppContext& context, Maintenance& maintenance, QWidget* parent = nullptr);

    QComboBox* level(int i) const { return combos_[std::size_t(i)]; } // 0 to 3
    void OkButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    app::AppContext& ctx_;
    Maintenance& maintenance_;
    std::array<QComboBox*, 4> combos_{};
};

} // namespace shelvix::shell
