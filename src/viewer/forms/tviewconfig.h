#pragma once

#include "app/appcontext.h"
#include "viewer/viewconfig.h"

#include <QDialog>
#include <QTableWidget>
#include <array>

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace shelvix::viewer {

// A string grid of the configuration pages. Its open editor can be committed
// from outside, so that closing by keyboard keeps what was being typed.
class ConfigGrid : public QTableWidget {
    Q_OBJECT
public:
    using QTableWidget::QTableWidget;
    void commitEditing();
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString& text, bool editable);
};

// "Viewer Configuration": the viewer settings of the open database on six
// pages. Check boxes, fonts, colours and the alignment change the settings
// at once (settingsChanged); the grids are stored when the dialog closes,
// which it refuses while two field names are equal. There is no cancel.
class TViewConfig : public QDialog {
    Q_OBJECT
public:
    enum Page { TitlePage, LookPage, ShowPage, WidthsPage, OrderPage, NamesPage, PageCount };

    TViewConfig(app::AppContext& context, QWidget* parent = nullptr);

    QTabWidget* pages() const { return pages_; }
    ConfigGrid* fieldsToDisplay() const { return fieldsToDisplay_; }
    ConfigGrid* fieldWidthGrid() const { return fieldWidthGrid_; }
    ConfigGrid* fieldOrderGrid() const { return fieldOrderGrid_; }
    ConfigGrid* fieldNameGrid() const { return fieldNameGrid_; }

    // The page handlers, by their control names.
    void TitleFontButtonClick();
    void Button1Click(); // the title colour
    void NewFontButtonClick();
    void NewColorBUttonClick();
    // The font colours: Qt's font dialog offers none, so each font has its
    // own colour choice beside it.
    void TitleFontColorButtonClick();
    void FontColorButtonClick();
    void FieldsToDisplayDblClick(int row, int column);
    void OrderUpClick();
    void OrderDownClick();
    void OrderDefaultsClick();
    void HelpButtonClick();

    // The duplicate-name check: false (message shown, Field Names page
    // focused) while two names are equal.
    bool FormCloseQuery();
    // Stores the grids into the settings.
    void FormClose();

    void done(int result) override;

Q_SIGNALS:
    // A setting that takes effect at once changed: the grid should show it.
    void settingsChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildTitlePage(QWidget* page);
    void buildLookPage(QWidget* page);
    void buildShowPage(QWidget* page);
    void buildWidthsPage(QWidget* page);
    void buildOrderPage(QWidget* page);
    void buildNamesPage(QWidget* page);
    ConfigGrid* makeGrid(QWidget* page, const char* name, int columns);
    void FormShow();
    void fillGrids();
    void sizeGrid(ConfigGrid* grid, std::initializer_list<int> columnWidths);
    void showFonts();
    void paintSwatches();
    void chooseFont(app::FontSpec& font);
    void chooseColor(int& color);
    void setOrderRow(int row, int field, const QString& name);
    void swapOrderRows(int a, int b);
    void nameEdited(int row);
    void changed();

    app::AppContext& ctx_;
    db::DatabaseSettings& settings_;
    bool filling_ = false;
    QTabWidget* pages_ = nullptr;
    QCheckBox* showGridTitle_ = nullptr;
    QLineEdit* titleFont_ = nullptr;
    QFrame* titleShape_ = nullptr;
    std::array<QRadioButton*, 3> alignment_{};
    std::array<QCheckBox*, 4> lookBoxes_{};
    QLineEdit* gridFont_ = nullptr;
    QFrame* cellColorShape_ = nullptr;
    ConfigGrid* fieldsToDisplay_ = nullptr;
    ConfigGrid* fieldWidthGrid_ = nullptr;
    ConfigGrid* fieldOrderGrid_ = nullptr;
    ConfigGrid* fieldNameGrid_ = nullptr;
};

// "12pt Arial".
QString fontDescription(const app::FontSpec& font);

} // namespace shelvix::viewer
