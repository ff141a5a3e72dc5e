#pragma once

#include "app/appcontext.h"
#include "find/locate.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace shelvix::find {

class TMyLocateDlg;

// The locate component: made by the main window at start-up and kept, it
// remembers the last search for Locate Next. Its table is the main window's
// MyTable (the data source).
class TMyLocateDialog {
public:
    explicit TMyLocateDialog(app::AppContext& context, QWidget* owner = nullptr)
        : ctx_(context), owner_(owner) {}

    QString Caption;
    std::string SearchField;
    TMyLocateMatchType MatchType = TMyLocateMatchType::mtPartialMatchStart;
    bool CaseSensitive = false;
    TMyFieldSortType SortFields = TMyFieldSortType::fsSortByFieldName;
    TMyDefaultButtonType DefaultButton = TMyDefaultButtonType::dbFindFirst;
    TMyFieldSelection FieldSelection = TMyFieldSelection::fsAllFields;
    bool ShowMessages = true;
    QString LastSearchValue;

    // The form, modally; true when it closed on a record found.
    bool Execute();
    // The last search again after the current record, or the form with Next
    // as its default button when there has been none.
    bool FindNext();

    // The search routine of both: false when not found (the record stays).
    bool runSearch(bool fromStart, const LocateQuery& query);

    // Called with the form just before it is shown (tests drive it).
    std::function<void(TMyLocateDlg&)> aboutToShow;

private:
    app::AppContext& ctx_;
    QWidget* owner_;
};

// "Locate Value": the field, the match rule and the text.
class TMyLocateDlg : public QDialog {
    Q_OBJECT
public:
    TMyLocateDlg(app::AppContext& context, TMyLocateDialog& component, QWidget* parent);

    QComboBox* FieldNameComboBox = nullptr;
    QCheckBox* CaseSensitiveCheckBox = nullptr;
    QRadioButton* ExactMatchBtn = nullptr;
    QRadioButton* PartialMatchStartBtn = nullptr;
    QRadioButton* PartialMatchAnyBtn = nullptr;
    QLineEdit* SearchValue = nullptr;
    QPushButton* FirstButton = nullptr;
    QPushButton* NextButton = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // Every field's label in the list, and what the component remembers.
    void load(const db::Table& table);
    TMyLocateMatchType matchType() const;
    // The table name of the field whose label is chosen, or empty.
    std::string chosenField() const;

    void FindFirst();
    void FindNextBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void find(bool fromStart, const QString& failure);
    void FieldNameComboBoxChange();
    void SetColors();

    app::AppContext& ctx_;
    TMyLocateDialog& component_;
    QPushButton* defaultButton_ = nullptr;
};

} // namespace shelvix::find
