#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace shelvix::app {
struct AppContext;
} // namespace shelvix::app

namespace shelvix::shell {

// "Tip of the Day": one of the 24 tips, a random one first. Closing it by any
// means makes "Show Tips" what its check box says.
class TTipOfDay : public QDialog {
    Q_OBJECT
public:
    explicit TTipOfDay(app::AppContext& context, QWidget* parent = nullptr);

    int tipNumber() const { return tip_; }
    void showTip(int number);
    void NextTipButtonClick();

    void done(int result) override;

private:
    void buildControls();

    app::AppContext& ctx_;
    int tip_ = 1;
    QLabel* tipComment_ = nullptr;
    QCheckBox* showTips_ = nullptr;
};

} // namespace shelvix::shell
