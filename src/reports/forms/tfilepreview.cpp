#include "reports/forms/tfilepreview.h"

#include "reports/paint/qtreport.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace shelvix::reports {

TFilePreview::TFilePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TFilePreview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFilePreview::SetStream(const ReportStream* stream) {
    stream_ = stream;
    page_ = 1;
    updateGeometry();
    resize(sizeHint());
    update();
    Q_EMIT OnPageChange(page_);
}

int TFilePreview::PageCount() const {
    return stream_ ? stream_->PageCount() : 0;
}

void TFilePreview::SetPage(int page) {
    page = std::clamp(page, 1, std::max(1, PageCount()));
    if (page != page_) {
        page_ = page;
        update();
    }
    Q_EMIT OnPageChange(page_);
}

void TFilePreview::SetZoomFactor(double percent) {
    zoom_ = std::clamp(percent, 1.0, 1000.0);
    updateGeometry();
    resize(sizeHint());
    update();
    Q_EMIT OnZoomChange(zoom_);
}

void TFilePreview::SetMonochrome(bool on) {
    monochrome_ = on;
    update();
}

QSizeF TFilePreview::pagePixels() const {
    const QSizeF inches = stream_ ? stream_->paperInches : QSizeF(8.5, 11);
    return {inches.width() * logicalDpiX() * zoom_ / 100,
            inches.height() * logicalDpiY() * zoom_ / 100};
}

QSizeF TFilePreview::borderPixels() const {
    const QSizeF page = pagePixels();
    return {page.width() * MarginPercent / 100, page.height() * MarginPercent / 100};
}

QSize TFilePreview::sizeHint() const {
    const QSizeF all = pagePixels() + 2 * borderPixels();
    return {static_cast<int>(std::ceil(all.width())), static_cast<int>(std::ceil(all.height()))};
}

double TFilePreview::ZoomPageWidth(QSize area) const {
    const QSizeF at100 = pagePixels() * (100 / zoom_);
    return area.width() * 100 / (at100.width() * (1 + 2 * MarginPercent / 100));
}

double TFilePreview::ZoomWholePage(QSize area) const {
    const QSizeF at100 = pagePixels() * (100 / zoom_);
    const double f = 1 + 2 * MarginPercent / 100;
    return std::min(area.width() * 100 / (at100.width() * f),
                    area.height() * 100 / (at100.height() * f));
}

void TFilePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::gray);
    const QSizeF border = borderPixels();
    const QRectF page(QPointF(border.width(), border.height()), pagePixels());
    painter.fillRect(page, Qt::white);
    if (!stream_ || PageCount() == 0) {
        return;
    }
    const double dpiX = logicalDpiX() * zoom_ / 100;
    const double dpiY = logicalDpiY() * zoom_ / 100;
    // Pictures play true to size only on a device of the screen's default
    // resolution, which a fresh image has and a widget may not.
    const QSize size = page.size().toSize();
    const qreal ratio = devicePixelRatioF();
    QImage ink(size * ratio, QImage::Format_ARGB32_Premultiplied);
    ink.setDevicePixelRatio(ratio);
    ink.fill(Qt::transparent);
    {
        QPainter p(&ink);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        stream_->playPage(p, page_, dpiX, dpiY);
        if (monochrome_) {
            // Black and white: the page's ink, whatever its colour, in black.
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(QRect(QPoint(0, 0), size), Qt::black);
        }
    }
    painter.drawImage(page.topLeft(), ink);
}

} // namespace shelvix::reports
