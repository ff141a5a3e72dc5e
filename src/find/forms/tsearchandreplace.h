#pragma once

#include "app/appcontext.h"
#include "find/replace.h"

#include <QDialog>
#include <QFrame>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace shelvix::app {
class Databases;
}

namespace shelvix::find {

class Search;
class SearchView;

// The frame of the three counters, which draws them at their places on the
// window.
class CounterFrame : public QFrame {
public:
    using QFrame::QFrame;
    ReplaceCounters counters;
    double factor = 1.0;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// "Search and Replace": one field's value replaced across the database.
class TSearchAndReplace : public QDialog {
    Q_OBJECT
public:
    TSearchAndReplace(app::AppContext& context, SearchAndReplace& logic, QWidget* parent);

    // The main window's command: made, shown modally and freed.
    static void execute(app::AppContext& context, app::Databases& databases, Search& search,
                        SearchView& view, QWidget* parent);

    QComboBox* FieldBox = nullptr;
    QLineEdit* SearchText = nullptr;
    QLineEdit* ReplaceText = nullptr;
    QCheckBox* ConfirmBox = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* CancelButton = nullptr;
    CounterFrame* Counters = nullptr;

    int chosenField() const { return field_; }
    bool running() const { return running_; }

    void StartButtonClick();
    void CancelButtonClick();

    // Numbers with "," between groups of three digits.
    static QString grouped(int n);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void FormShow();
    void FieldBoxChange();
    void SetColors();
    void showCounters(const ReplaceCounters& counters);
    ReplaceAnswer confirm(db::Table& table, std::uint32_t recno);

    app::AppContext& ctx_;
    SearchAndReplace& logic_;
    int field_ = 0;
    bool running_ = false;
    bool stopRequested_ = false;
};

} // namespace shelvix::find
