#pragma once

#include "app/appcontext.h"

#include <QDialog>
#include <functional>

class QAction;
class QIcon;
class QKeySequence;
class QMenu;
class QLabel;
class QLineEdit;
class QScrollArea;
class QToolButton;

namespace shelvix::reports {

struct ReportStream;
class TFilePreview;
class TFilePrinter;

// The pages of a view run, at a zoom, page by page; prints the page, a range
// or the whole report from the stream on the printer `printer` is pointed at,
// without running the report again. Its place and size are kept in the
// database's settings between showings.
class TMyPreview : public QDialog {
    Q_OBJECT
public:
    TMyPreview(app::AppContext& context, const ReportStream& stream, TFilePrinter& printer,
               const QString& reportName, QWidget* parent = nullptr);

    // Shows the stream modally; what the report list's View calls.
    static void View(app::AppContext& context, const ReportStream& stream, TFilePrinter& printer,
                     const QString& reportName, QWidget* parent = nullptr);

    TFilePreview* filePreview() const { return preview_; }
    QScrollArea* scrollBox() const { return scroll_; }

    void PrintPage();
    void PrintReport();
    void PrintRange();
    void SetZoom(double percent);
    void ZoomPageWidth();
    void ZoomWholePage();
    void UseColorClick();
    void ZoomEditExit();
    void PageEditExit();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override; // FormClose

private:
    void FormActivate();
    void MyFilePreviewZoomChange(double percent);
    void MyFilePreviewPageChange(int page);
    bool printerIdle();
    QSize fitArea() const;
    void placeFromBounds();
    QAction* addAction(QMenu* menu, const QString& text, const QKeySequence& key,
                       std::function<void()> run);
    QToolButton* speedButton(const char* name, const QString& hint, const QIcon& icon,
                             std::function<void()> run);

    app::AppContext& ctx_;
    const ReportStream& stream_;
    TFilePrinter& printer_;
    TFilePreview* preview_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* panel2_ = nullptr;
    QLineEdit* zoomEdit_ = nullptr;
    QLineEdit* pageEdit_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QAction* useColor_ = nullptr;
    bool started_ = false;
};

} // namespace shelvix::reports
