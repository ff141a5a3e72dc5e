#pragma once

#include "app/appcontext.h"
#include "app/prompter.h"
#include "reports/reportdefinition.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace shelvix::reports {

// "Report Definition": the general settings of the definition in
// `current` (CurrentReport), saved to, or deleted from, the definitions file.
// The report list opens it for a new definition (no index) or for record
// `index`; afterwards it reloads its list and selects EditedReportIndex().
class TUserReport : public QDialog {
    Q_OBJECT
public:
    TUserReport(app::AppContext& context, const ReportFile& file, ReportDefinition& current,
                std::optional<int> index, QWidget* parent = nullptr);

    // What the report list needs after the dialog has closed.
    struct Outcome {
        bool saved = false;
        bool deleted = false;
        int index = -1; // the record saved, or the one deleted
    };
    // Shows the editor modally.
    static Outcome Edit(app::AppContext& context, const ReportFile& file, ReportDefinition& current,
                        std::optional<int> index, QWidget* parent = nullptr);
    Outcome outcome() const { return outcome_; }

    bool IsNewReport() const { return isNew_; }
    int EditedReportIndex() const { return editedIndex_; }
    // The line width the radio buttons choose, and the Use Totals box: what
    // the layout designer draws with.
    int chosenLineWidth() const;
    bool useTotalsChecked() const;

    void NumLinesExit();
    bool NumLinesOk();
    void ReportNameExit();
    void Chars90Click();
    void Chars120Click();
    void Chars150Click();
    void Level1GroupClick();
    void SetFontsClick();
    void SpecifyButtonClick();
    void UpdateButtonClick();
    void DeleteButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void SetColors();
    void SaveOutVars();
    void showFonts();
    void enableLineOptions(int count);
    void checkWidth(int charsPerLine);
    app::Button ask(const QString& text, app::MessageKind kind, app::Buttons buttons,
                    app::Button defaultButton);
    void notice(const QString& text);

    app::AppContext& ctx_;
    ReportFile file_;
    ReportDefinition& current_;
    bool isNew_;
    int editedIndex_;
    QString openingName_;
    Outcome outcome_;

    QLineEdit* reportName_ = nullptr;
    QRadioButton* chars90_ = nullptr;
    QRadioButton* chars120_ = nullptr;
    QRadioButton* chars150_ = nullptr;
    QLineEdit* titleLineFont_ = nullptr;
    QLineEdit* columnHeaderFont_ = nullptr;
    QLineEdit* repBodyDataFont_ = nullptr;
    QLineEdit* footnoteFont_ = nullptr;
    QLineEdit* titles_[3] = {};
    QCheckBox* level1Group_ = nullptr;
    QCheckBox* level2Group_ = nullptr;
    QCheckBox* columnHeaders_ = nullptr;
    QCheckBox* horzLines_ = nullptr;
    QCheckBox* vertLines_ = nullptr;
    QCheckBox* dateOnPage_ = nullptr;
    QCheckBox* pageNumbers_ = nullptr;
    QCheckBox* landOrient_ = nullptr;
    QCheckBox* useTotals_ = nullptr;
    QLineEdit* numLines_ = nullptr;
    QLineEdit* topMargin_ = nullptr;
    QLineEdit* bottomMargin_ = nullptr;
    QLineEdit* leftMargin_ = nullptr;
    QLineEdit* rightMargin_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
};

} // namespace shelvix::reports
