#pragma once

#include "app/appcontext.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;

namespace shelvix::find {

// "Search Options": the operators of a number or date row, or the values of
// a list row, for the search grid's "..." cell. Made for each use.
class TSearchOptions : public QDialog {
    Q_OBJECT
public:
    TSearchOptions(app::AppContext& context, QWidget* parent = nullptr);

    // The field's label and what the list offers, with `selected` (or -1
    // for the first) current and chosen.
    void LoadList(const QString& fieldLabel, const QStringList& items, int selected);
    // The row chosen when Ok was pressed, or -1.
    int chosen() const { return chosen_; }

    QListWidget* ListBox1() const { return list_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void OkButtonClick();
    void SetColors();

    app::AppContext& ctx_;
    QLabel* label_ = nullptr;
    QListWidget* list_ = nullptr;
    int chosen_ = -1;
};

} // namespace shelvix::find
