#pragma once

#include "app/appcontext.h"
#include "app/colors.h"

#include <QDialog>

class QComboBox;
class QLabel;

namespace shelvix::shell {

// "Color Configuration": edits a working copy of one group's colour set (or,
// in mode All, the set every group will share) with samples of each kind of
// control. Nothing reaches the settings before OK.
class TColorConfig : public QDialog {
    Q_OBJECT
public:
    TColorConfig(app::AppContext& context, app::ColorConfigMode mode, QWidget* parent = nullptr);

    app::ColorConfigMode mode() const { return mode_; }
    const app::ColorSet& workingSet() const { return working_; }

    // Stores the working set for the mode and closes. True when the main
    // window has to show the new colours at once.
    bool OkClick();
    // Entry 1 to 12 of the ColorSets list; the empty entry changes nothing.
    void ColorSetsChange(int index);

private:
    void buildControls();
    void pickColor(app::ColorElement element);
    void paintSamples();

    app::AppContext& ctx_;
    app::ColorConfigMode mode_;
    app::ColorSet working_;
    QComboBox* colorSets_ = nullptr;
};

} // namespace shelvix::shell
