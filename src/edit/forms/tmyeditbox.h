#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace shelvix::app {
class Prompter;
struct AppContext;
} // namespace shelvix::app

namespace shelvix::edit {

// The maintenance dialog of one data list: add, delete and sort its entries.
// The caller takes entries() when the dialog is accepted (Ok).
class TMyEditBox : public QDialog {
    Q_OBJECT
public:
    // `name` is the list's name in the caption, `entryLength` the longest
    // entry that can be typed.
    TMyEditBox(const app::AppContext& ctx, const QStringList& entries, const QString& name,
               int entryLength, int listNumber, QWidget* parent = nullptr);

    QStringList entries() const;
    int listNumber() const { return listNumber_; }

    void AddButtonClick();
    void DeleteButtonClick();
    void SortButtonClick();
    void OkButtonClick();
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    const app::AppContext& ctx_;
    int listNumber_;
    QLineEdit* addInfo_;
    QListWidget* theList_;
};

} // namespace shelvix::edit
