#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QRadioButton;

namespace shelvix::app {
struct AppContext;
}

namespace shelvix::reports {

// "Printer Selection": the default printer, or one of the installed ones by
// its place in the list. Ok keeps the choice in the database's settings.
class TPrintSelect : public QDialog {
    Q_OBJECT
public:
    TPrintSelect(app::AppContext& context, QStringList printers, QWidget* parent = nullptr);

    QRadioButton* DefaultPrinter = nullptr;
    QRadioButton* OtherPrinter = nullptr;
    QComboBox* PrinterList = nullptr;

    void OkButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    app::AppContext& ctx_;
    QStringList printers_;
};

} // namespace shelvix::reports
