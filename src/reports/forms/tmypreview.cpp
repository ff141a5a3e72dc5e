#include "reports/forms/tmypreview.h"

#include "app/forms/colors.h"
#include "app/forms/menukeys.h"
#include "app/forms/placement.h"
#include "app/prompter.h"
#include "reports/forms/tfilepreview.h"
#include "reports/forms/tprintrange.h"
#include "reports/paint/qtreport.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace shelvix::reports {

namespace {

// The speed buttons' pictures, drawn rather than shipped.
enum class Glyph { ZoomIn, ZoomOut, PageWidth, WholePage, Prev, Next, Print, Done };

QIcon glyphIcon(Glyph glyph) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x22, 0x22, 0x22), 2.5));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case Glyph::ZoomIn:
    case Glyph::ZoomOut:
        p.drawEllipse(QRectF(4, 4, 17, 17));
        p.drawLine(QPointF(19, 19), QPointF(28, 28));
        p.drawLine(QPointF(8.5, 12.5), QPointF(16.5, 12.5));
        if (glyph == Glyph::ZoomIn)
            p.drawLine(QPointF(12.5, 8.5), QPointF(12.5, 16.5));
        break;
    case Glyph::PageWidth:
        p.drawRect(QRectF(8, 4, 16, 24));
        p.drawLine(QPointF(2, 16), QPointF(30, 16));
        p.drawLine(QPointF(2, 16), QPointF(6, 12));
        p.drawLine(QPointF(30, 16), QPointF(26, 12));
        break;
    case Glyph::WholePage:
        p.drawRect(QRectF(8, 4, 16, 24));
        p.drawLine(QPointF(12, 10), QPointF(20, 10));
        p.drawLine(QPointF(12, 16), QPointF(20, 16));
        p.drawLine(QPointF(12, 22), QPointF(20, 22));
        break;
    case Glyph::Prev:
    case Glyph::Next: {
        QPainterPath path;
        const bool next = glyph == Glyph::Next;
        path.moveTo(next ? 10 : 22, 6);
        path.lineTo(next ? 24 : 8, 16);
        path.lineTo(next ? 10 : 22, 26);
        path.closeSubpath();
        p.fillPath(path, QColor(0x22, 0x22, 0x22));
        break;
    }
    case Glyph::Print:
        p.drawRect(QRectF(9, 3, 14, 9));
        p.drawRect(QRectF(3, 12, 26, 11));
        p.drawRect(QRectF(9, 19, 14, 10));
        break;
    case Glyph::Done:
        p.drawRect(QRectF(6, 3, 16, 26));
        p.drawLine(QPointF(16, 16), QPointF(30, 16));
        p.drawLine(QPointF(30, 16), QPointF(25, 11));
        p.drawLine(QPointF(30, 16), QPointF(25, 21));
        break;
    }
    return QIcon(pixmap);
}

const QString kBusy = QStringLiteral("Previous print job has not yet finished.  Try again later.");

} // namespace

TMyPreview::TMyPreview(app::AppContext& context, const ReportStream& stream, TFilePrinter& printer,
                       const QString& reportName, QWidget* parent)
    : QDialog(parent), ctx_(context), stream_(stream), printer_(printer) {
    setObjectName(QStringLiteral("TMyPreview"));
    setWindowTitle(reportName);
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* menuBar = new QMenuBar(this);
    layout->setMenuBar(menuBar);
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    addAction(file, QStringLiteral("&Print Page"), QKeySequence(QStringLiteral("Ctrl+P")),
              [this] { PrintPage(); });
    addAction(file, QStringLiteral("Print &Report"), QKeySequence(QStringLiteral("Ctrl+R")),
              [this] { PrintReport(); });
    addAction(file, QStringLiteral("Print Ran&ge"), QKeySequence(QStringLiteral("Ctrl+G")),
              [this] { PrintRange(); });
    addAction(file, QStringLiteral("E&xit"), QKeySequence(QStringLiteral("Ctrl+X")),
              [this] { reject(); });
    QMenu* navigate = menuBar->addMenu(QStringLiteral("&Navigate"));
    addAction(navigate, QStringLiteral("&Previous Page"), QKeySequence(QStringLiteral("Ctrl+E")),
              [this] { preview_->PrevPage(); });
    addAction(navigate, QStringLiteral("&Next Page"), QKeySequence(QStringLiteral("Ctrl+N")),
              [this] { preview_->NextPage(); });
    addAction(navigate, QStringLiteral("&First Page"), QKeySequence(QStringLiteral("Ctrl+F")),
              [this] { preview_->SetPage(preview_->FirstPage()); });
    addAction(navigate, QStringLiteral("&Last Page"), QKeySequence(QStringLiteral("Ctrl+L")),
              [this] { preview_->SetPage(preview_->PageCount()); });
    QMenu* view = menuBar->addMenu(QStringLiteral("&View"));
    useColor_ = addAction(view, QStringLiteral("Use Color"), QKeySequence(QStringLiteral("Ctrl+C")),
                          [this] { UseColorClick(); });
    useColor_->setCheckable(true);
    useColor_->setChecked(true);
    QMenu* zoomIn = view->addMenu(QStringLiteral("Zoom &In"));
    zoomIn->setObjectName(QStringLiteral("ZoomInMenu"));
    addAction(zoomIn, QStringLiteral("&1 : 1"), {}, [this] { SetZoom(100); });
    addAction(zoomIn, QStringLiteral("&2 : 1"), {}, [this] { SetZoom(200); });
    QMenu* zoomOut = view->addMenu(QStringLiteral("Zoom &Out"));
    zoomOut->setObjectName(QStringLiteral("ZoomOutMenu"));
    const double ratios[] = {100, 50, 33.3, 25, 20};
    for (int i = 0; i < 5; ++i)
        addAction(zoomOut, QStringLiteral("1 : &%1").arg(i + 1), {},
                  [this, zoom = ratios[i]] { SetZoom(zoom); });
    // The two submenus open from their keys, where the menu bar shows them.
    addAction(nullptr, QString(), QKeySequence(QStringLiteral("Ctrl+I")), [menuBar, zoomIn] {
        zoomIn->popup(menuBar->mapToGlobal(QPoint(0, menuBar->height())));
    });
    addAction(nullptr, QString(), QKeySequence(QStringLiteral("Ctrl+O")), [menuBar, zoomOut] {
        zoomOut->popup(menuBar->mapToGlobal(QPoint(0, menuBar->height())));
    });
    addAction(view, QStringLiteral("Zoom &Page Width"), QKeySequence(QStringLiteral("Ctrl+Z")),
              [this] { ZoomPageWidth(); });
    addAction(view, QStringLiteral("Zoom &Whole Page"), QKeySequence(QStringLiteral("Ctrl+W")),
              [this] { ZoomWholePage(); });

    panel2_ = new QWidget(this);
    panel2_->setObjectName(QStringLiteral("Panel2"));
    auto* bar = new QHBoxLayout(panel2_);
    bar->setContentsMargins(4, 3, 4, 3);
    bar->setSpacing(2);
    layout->addWidget(panel2_);

    preview_ = new TFilePreview;
    preview_->setObjectName(QStringLiteral("MyFilePreview"));
    preview_->ZoomInc = 10;
    preview_->MarginPercent = 2.5;
    connect(preview_, &TFilePreview::OnZoomChange, this,
            [this](double percent) { MyFilePreviewZoomChange(percent); });
    connect(preview_, &TFilePreview::OnPageChange, this,
            [this](int page) { MyFilePreviewPageChange(page); });

    bar->addWidget(speedButton("SBZoomIn", QStringLiteral("Zoom In"), glyphIcon(Glyph::ZoomIn),
                               [this] { preview_->ZoomIn(); }));
    bar->addWidget(speedButton("SBZoomOut", QStringLiteral("Zoom Out"), glyphIcon(Glyph::ZoomOut),
                               [this] { preview_->ZoomOut(); }));
    bar->addWidget(speedButton("SBZoomPageWidth", QStringLiteral("Zoom Page Width"),
                               glyphIcon(Glyph::PageWidth), [this] { ZoomPageWidth(); }));
    bar->addWidget(speedButton("SBZoomPage", QStringLiteral("Zoom Whole Page"),
                               glyphIcon(Glyph::WholePage), [this] { ZoomWholePage(); }));
    bar->addSpacing(8);
    bar->addWidget(speedButton("SBPrevPage", QStringLiteral("Prev Page"), glyphIcon(Glyph::Prev),
                               [this] { preview_->PrevPage(); }));
    bar->addWidget(speedButton("SBNextPage", QStringLiteral("Next Page"), glyphIcon(Glyph::Next),
                               [this] { preview_->NextPage(); }));
    bar->addSpacing(8);
    bar->addWidget(speedButton("SBPrint", QStringLiteral("Print Page"), glyphIcon(Glyph::Print),
                               [this] { PrintPage(); }));
    bar->addWidget(speedButton("SBDone", QStringLiteral("Done"), glyphIcon(Glyph::Done),
                               [this] { reject(); }));
    bar->addSpacing(12);

    bar->addWidget(new QLabel(QStringLiteral("Zoom %"), panel2_));
    zoomEdit_ = new QLineEdit(panel2_);
    zoomEdit_->setObjectName(QStringLiteral("ZoomEdit"));
    zoomEdit_->setFixedWidth(zoomEdit_->fontMetrics().horizontalAdvance(QStringLiteral("00000.0")) +
                             12);
    connect(zoomEdit_, &QLineEdit::editingFinished, this, [this] { ZoomEditExit(); });
    bar->addWidget(zoomEdit_);
    bar->addSpacing(8);
    bar->addWidget(new QLabel(QStringLiteral("Page #"), panel2_));
    pageEdit_ = new QLineEdit(panel2_);
    pageEdit_->setObjectName(QStringLiteral("PageEdit"));
    pageEdit_->setFixedWidth(pageEdit_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                             12);
    connect(pageEdit_, &QLineEdit::editingFinished, this, [this] { PageEditExit(); });
    bar->addWidget(pageEdit_);
    bar->addSpacing(8);
    pageLabel_ = new QLabel(QStringLiteral("Page 1 of 1"), panel2_);
    pageLabel_->setObjectName(QStringLiteral("PageLabel"));
    bar->addWidget(pageLabel_);
    bar->addStretch(1);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("ScrollBox1"));
    scroll_->setWidget(preview_);
    scroll_->setWidgetResizable(false);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    layout->addWidget(scroll_, 1);

    app::giveMenuKeysPrecedence(this);
    printer_.SetStream(&stream_);
    zoomEdit_->setText(QString::number(preview_->ZoomFactor(), 'f', 1));
    placeFromBounds();
}

void TMyPreview::View(app::AppContext& context, const ReportStream& stream, TFilePrinter& printer,
                      const QString& reportName, QWidget* parent) {
    TMyPreview preview(context, stream, printer, reportName, parent);
    preview.exec();
}

QAction* TMyPreview::addAction(QMenu* menu, const QString& text, const QKeySequence& key,
                               std::function<void()> run) {
    auto* action = new QAction(text, this);
    if (!key.isEmpty())
        action->setShortcut(key);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    if (menu)
        menu->addAction(action);
    else
        QWidget::addAction(action);
    return action;
}

QToolButton* TMyPreview::speedButton(const char* name, const QString& hint, const QIcon& icon,
                                     std::function<void()> run) {
    auto* b = new QToolButton(panel2_);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setIcon(icon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    const int side = std::max(16, int(std::lround(18 * ctx_.screenFactor)));
    b->setIconSize(QSize(side, side));
    connect(b, &QToolButton::clicked, this, [run = std::move(run)] { run(); });
    return b;
}

void TMyPreview::placeFromBounds() {
    const app::DatabaseSettings& s = ctx_.database;
    QRect bounds(s.reportWindowLeft, s.reportWindowTop, std::max(200, s.reportWindowWidth),
                 std::max(150, s.reportWindowHeight));
    // A place kept from a larger screen is brought back whole onto this one.
    QScreen* screen = QGuiApplication::screenAt(bounds.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect avail = screen->availableGeometry();
        bounds.setSize(bounds.size().boundedTo(avail.size()));
        bounds.moveLeft(
            std::clamp(bounds.left(), avail.left(), avail.right() - bounds.width() + 1));
        bounds.moveTop(std::clamp(bounds.top(), avail.top(), avail.bottom() - bounds.height() + 1));
    }
    resize(bounds.size());
    move(bounds.topLeft());
}

void TMyPreview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    app::applyFonts(this, ctx_);
    app::applyColorSet(this, ctx_, app::ColorGroup::Report);
    FormActivate();
}

void TMyPreview::FormActivate() {
    // Started once: coming back from a message or the range dialog keeps
    // the page the user was reading.
    if (started_)
        return;
    started_ = true;
    preview_->SetStream(&stream_);
    preview_->SetZoomFactor(preview_->ZoomFactor());
}

void TMyPreview::done(int result) {
    // The frame's corner and the inside's size: what move() and resize()
    // take back, so a window reopens exactly where it was.
    ctx_.database.reportWindowLeft = pos().x();
    ctx_.database.reportWindowTop = pos().y();
    ctx_.database.reportWindowWidth = width();
    ctx_.database.reportWindowHeight = height();
    QDialog::done(result);
}

void TMyPreview::MyFilePreviewZoomChange(double percent) {
    zoomEdit_->setText(QString::number(percent, 'f', 1));
    preview_->update();
}

void TMyPreview::MyFilePreviewPageChange(int page) {
    pageEdit_->setText(QString::number(page));
    pageLabel_->setText(QStringLiteral("Page %1 of %2")
                            .arg(page - preview_->FirstPage() + 1)
                            .arg(preview_->PageCount()));
}

void TMyPreview::SetZoom(double percent) {
    preview_->SetZoomFactor(percent);
}

// The room without scroll bars, less the pixel a page's rounding up may
// add, so a fitted page never brings a scroll bar of its own.
QSize TMyPreview::fitArea() const {
    return scroll_->maximumViewportSize() - QSize(2, 2);
}

void TMyPreview::ZoomPageWidth() {
    SetZoom(preview_->ZoomPageWidth(fitArea()));
}

void TMyPreview::ZoomWholePage() {
    SetZoom(preview_->ZoomWholePage(fitArea()));
}

void TMyPreview::UseColorClick() {
    preview_->SetMonochrome(!preview_->Monochrome());
    useColor_->setChecked(!preview_->Monochrome());
}

void TMyPreview::ZoomEditExit() {
    bool ok = false;
    const double zoom = zoomEdit_->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(zoom) && zoom != preview_->ZoomFactor())
        SetZoom(zoom);
    else
        zoomEdit_->setText(QString::number(preview_->ZoomFactor(), 'f', 1));
}

void TMyPreview::PageEditExit() {
    bool ok = false;
    const int page = pageEdit_->text().trimmed().toInt(&ok);
    if (ok && page != preview_->CurrentPage())
        preview_->SetPage(page);
    else
        pageEdit_->setText(QString::number(preview_->CurrentPage()));
}

bool TMyPreview::printerIdle() {
    if (!printer_.Busy())
        return true;
    ctx_.prompter->message({app::MessageKind::Information, QStringLiteral("Error"), kBusy});
    return false;
}

void TMyPreview::PrintPage() {
    if (printerIdle())
        printer_.PrintRange(preview_->CurrentPage(), preview_->CurrentPage(), 1);
}

void TMyPreview::PrintReport() {
    if (printerIdle())
        printer_.Print();
}

void TMyPreview::PrintRange() {
    TPrintRange range(ctx_, preview_->PageCount(), this);
    range.exec();
    if (range.RangeChosen() && printerIdle())
        printer_.PrintRange(range.RangeFirst(), range.RangeLast(), 1);
}

} // namespace shelvix::reports
