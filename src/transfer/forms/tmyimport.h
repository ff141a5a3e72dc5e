#pragma once

#include "app/appcontext.h"
#include "transfer/importer.h"
#include "transfer/mapping.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace shelvix::transfer {

// The import window: the book fields beside the source's fields, lined up
// with Up and Down and switched on and off in the USE column, then the
// import with its counter. Closing it ends the import command.
class TMyImport : public QDialog {
    Q_OBJECT
public:
    enum Kind { Ascii = 1, DBase = 2 };

    TMyImport(app::AppContext& context, Kind kind, std::unique_ptr<RecordReader> reader,
              QWidget* parent = nullptr);
    ~TMyImport() override;

    QTableWidget* grid() const { return grid_; }
    // The grid as rows: which source field sits in each row, and its mark.
    std::vector<ImportRow> gridRows() const;

    void UpButtonClick();
    void DownButtonClick();
    void ImportGridDblClick(int row, int column);
    void SkipFirstClick();
    void StartButtonClick();
    void ExitButtonClick();
    void HelpButtonClick();

    // While importing, closing asks the import to stop instead.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void SetColors();
    void showCount(std::uint64_t count);
    // The source as the grid shows it: through the preset chosen, if any.
    RecordReader& source() const;
    void choosePreset(Preset preset);
    void fillGrid();

    app::AppContext& ctx_;
    Kind kind_;
    std::unique_ptr<RecordReader> reader_;
    std::unique_ptr<PresetReader> preset_;
    QTableWidget* grid_ = nullptr;
    QComboBox* presetBox_ = nullptr;
    QCheckBox* skipFirst_ = nullptr;
    QCheckBox* skipDuplicates_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* exit_ = nullptr;
    bool running_ = false;
    bool cancelRequested_ = false;
};

} // namespace shelvix::transfer
