#pragma once

#include "app/appcontext.h"

#include <QDialog>

class QLineEdit;

namespace shelvix::reports {

// "Page Printing": the first and last page to print, checked against the
// page count.
class TPrintRange : public QDialog {
    Q_OBJECT
public:
    TPrintRange(app::AppContext& context, int pageCount, QWidget* parent = nullptr);

    bool RangeChosen() const { return chosen_; }
    int RangeFirst() const { return first_; }
    int RangeLast() const { return last_; }

    void PrintButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    app::AppContext& ctx_;
    int pageCount_;
    bool chosen_ = false;
    int first_ = 0;
    int last_ = 0;
    QLineEdit* startPage_ = nullptr;
    QLineEdit* endPage_ = nullptr;
};

} // namespace shelvix::reports
