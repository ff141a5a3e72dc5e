#pragma once

#include "app/forms/placement.h"
#include "db/datalists.h"
#include "edit/forms/recordprint.h"
#include "edit/recordedit.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <array>

class QCheckBox;
class QKeyEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTabWidget;

namespace shelvix::app {
struct AppContext;
}

namespace shelvix::edit {

// The line a control's text is typed into: a combo box's own, or the edit.
QLineEdit* editPart(QWidget* w);

// The record edit form: all 36 fields of a book on five pages, for adding,
// editing and copying records of MyTable. Made once at start-up and shown
// modally for each command; it also owns the drop-downs of the nine data
// lists and keeps the grid's in-cell lists the same.
class TMyEdit : public QDialog {
    Q_OBJECT
public:
    explicit TMyEdit(app::AppContext& ctx, QWidget* parent = nullptr);
    ~TMyEdit() override;

    RecordPrinter& recordPrinter() { return printer_; }

    // The controls as a record, and back.
    RecordValues values() const;
    void setValues(const RecordValues& values);
    QWidget* control(const QString& name) const;

    void LoadInData();
    void SaveValues();
    bool ValuesChanged() const;
    bool DoUpdate();
    void DoAnUpdate();
    void DoUpdateAndExit();
    void DoExit();
    void DoClear();
    void DoPreviousRecord();
    void DoNextRecord();
    void SetCaptions();
    void MenuNewClick();
    void MenuCopyRecordClick();
    void MenuPrintRecordClick();
    void CheckOutClick();
    void BlankPurchDateClick();
    void BlankCheckOutClick();
    void TitleExit();

    // The data lists of the open database (held in the application context).
    void LoadAllList();
    void SaveAllLists();
    void LoadDefaultList();
    void SaveDefaultLists();
    // Both displays of every list from the context's lists.
    void showLists();
    // The exact-match rule for list `number` (1 to 9) in each display.
    void AddToList(int number, const QString& text);
    void AddToListTwwDB(int number, const QString& text);
    // "List Maintenance": the dialog for list `number`, and the defaults.
    void EditAList(int number);
    void MenuSaveDefaultsClick();
    void MenuLoadDefaultsClick();

Q_SIGNALS:
    // For the main window's grid, whose in-cell drop-downs show the same
    // lists: all of them anew, or one entry for the drop-down of `field`.
    void listsShown(const db::DataLists& lists);
    void gridListEntryAdded(int field, const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // Every close, whatever closes the form, saves the lists.
    void done(int result) override;

private:
    enum ClipboardOp { Cut, Copy, Paste, Delete };

    void FormCreate();
    void FormShow();
    void buildMenu();
    void buildPages();
    void buildButtons();
    void applyBrowseMode();
    void setDateMasks();
    void moveRecord(bool forward);
    void toFirstField();
    bool mayLeave(); // false: the user stays
    void clipboard(int operation);
    void enterKey(QObject* target); // the control that has the key
    QString controlText(int field) const;
    void setControlText(int field, const QString& text);
    bool askUpdate(const QString& text); // false: stop

    // ISBN (tmyedit_isbn.cpp): the mark of a check digit that does not
    // match, a barcode scanner's digits, the question before a second copy.
    void markIsbn();
    void noteTypedKey(QObject* target, const QKeyEvent* event);
    bool takeScannedIsbn(); // on Enter: true when a scan was put into ISBN
    bool mayAddIsbn(db::Table& table, const QString& isbn); // false: the user said No

    app::AppContext& ctx_;
    app::FormGeometry geometry_;
    RecordPrinter printer_;

    QMenuBar* menu_ = nullptr;
    QTabWidget* pages_ = nullptr;
    std::array<QWidget*, db::kFieldCount> controls_{};
    std::array<QLabel*, db::kFieldCount> labels_{};
    std::array<QLabel*, 4> headers_{};
    QCheckBox* checkOut_ = nullptr;

    RecordValues SavedValues;
    QString SavedCheckDate;
    QString SavedCheckName;
    bool SettingCheckOut = false;

    // Digits typed in one quick run, as a scanner types them: where they
    // went, what that control held before, and when they came.
    struct KeyRun {
        QPointer<QWidget> target;
        QString before;
        int cursor = 0;
        QString digits;
        qint64 first = 0;
        qint64 last = 0;
    };
    KeyRun keyRun_;
    QElapsedTimer clock_;
};

} // namespace shelvix::edit
