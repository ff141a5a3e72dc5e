#pragma once

#include <QWidget>

// One page of a report stream drawn at a zoom, on a grey border, in colour
// or in black and white: what the preview window scrolls. The widget sizes
// itself to the page; the preview puts it in a scroll area.
namespace shelvix::reports {

struct ReportStream;

class TFilePreview : public QWidget {
    Q_OBJECT
public:
    explicit TFilePreview(QWidget* parent = nullptr);

    void SetStream(const ReportStream* stream);
    const ReportStream* Stream() const { return stream_; }

    int PageCount() const;
    int FirstPage() const { return 1; }
    int CurrentPage() const { return page_; }
    void SetPage(int page); // held to the stream's pages
    void NextPage() { SetPage(page_ + 1); }
    void PrevPage() { SetPage(page_ - 1); }

    double ZoomFactor() const { return zoom_; }
    void SetZoomFactor(double percent); // held to 1..1000
    void ZoomIn() { SetZoomFactor(zoom_ + ZoomInc); }
    void ZoomOut() { SetZoomFactor(zoom_ - ZoomInc); }
    double ZoomInc = 10;
    double MarginPercent = 2.5;

    bool Monochrome() const { return monochrome_; }
    void SetMonochrome(bool on);

    // Zooms at which the page's width, or the whole page, fits `area` pixels.
    double ZoomPageWidth(QSize area) const;
    double ZoomWholePage(QSize area) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void OnZoomChange(double percent);
    void OnPageChange(int page);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSizeF pagePixels() const;
    QSizeF borderPixels() const;

    const ReportStream* stream_ = nullptr;
    int page_ = 1;
    double zoom_ = 100.0;
    bool monochrome_ = false;
};

} // namespace shelvix::reports
