#pragma once

#include "app/appcontext.h"
#include "app/colors.h"

#include <QDialog>

class QComboBox;
class QLabel;

namespace shelvix::app {

// "Color Configuration": edits a working copy of one group's colour set (or,
// in mode All, the set every group will share) with samples of each kind of
// control. Nothing reaches the settings before OK.
class TColorConfig : public QDialog {
    Q_OBJECT
public:
    TColorConfig(AppContext& context, ColorConfigMode mode, QWidget* parent = nullptr);

    ColorConfigMode mode() const { return mode_; }
    const ColorSet& workingSet() const { return working_; }

    // Stores the working set for the mode and closes. True when the main
    // window has to show the new colours at once.
    bool OkClick();
    // Entry 1 to 12 of the ColorSets list; the empty entry changes nothing.
    void ColorSetsChange(int index);

private:
    void buildControls();
    void pickColor(ColorElement element);
    void paintSamples();

    AppContext& ctx_;
    ColorConfigMode mode_;
    ColorSet working_;
    QComboBox* colorSets_ = nullptr;
};

} // namespace shelvix::app
