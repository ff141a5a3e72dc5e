#pragma once

#include "app/appcontext.h"

#include <QFont>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace shelvix::app {

class Prompter;

struct PlaceOptions {
    bool moveUp10 = false;
};

// Fonts by control kind, proportional scaling by the screen factor
// (100 × f, rounded) / 100, centring on the screen.
void placeDialog(QWidget* dialog, const AppContext& ctx, PlaceOptions options = {});

// The label, edit and button fonts by control kind: name and style only.
void applyFonts(QWidget* form, const AppContext& ctx);
// Which of the three fonts a control takes, or nullptr for none.
const FontSpec* fontForControl(const QWidget* control, const DatabaseSettings& fonts);

// Positions, sizes and font heights of the form and its controls times
// percent / 100.
void scaleForm(QWidget* form, int percent);
// Centres the form on the screen the context knows (10 pixels higher when
// asked).
void centreForm(QWidget* form, const AppContext& ctx, PlaceOptions options = {});

// The controls of a form in creation order, as placement walks them: the
// insides of composite controls (a combo box's editor, a view's scroll bars)
// are not among them.
std::vector<QWidget*> formControls(QWidget* form);

// The design geometry of a form that lives for the whole run, taken at
// creation, so that each showing starts from it and scaling never
// accumulates.
class FormGeometry {
public:
    static constexpr int kMaxIndex = 120;

    FormGeometry() = default;
    // Past index 120 shows "Too many compenents to save dimensions." and
    // keeps the first 121.
    static FormGeometry save(QWidget* form, Prompter* prompter);
    // Puts every saved position, size and font height back.
    void restore(QWidget* form) const;
    bool empty() const { return !client_.isValid(); }

private:
    struct Entry {
        QRect rect;
        QSize minimum;
        QSize maximum;
        int pixelSize = -1; // the font height: pixels, or else points
        qreal pointSize = -1;
    };
    QSize client_;
    Entry own_; // the form's own font
    std::vector<Entry> entries_;
};

// For a dialog with a saved geometry: restore it, then place it.
void placeDialog(QWidget* dialog, const FormGeometry& saved, const AppContext& ctx,
                 PlaceOptions options = {});

} // namespace shelvix::app
