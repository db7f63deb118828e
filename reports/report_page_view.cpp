#include "reports/report_page_view.h"

#include "reports/report_engine.h"

#include <QPagedPaintDevice>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kGap = 14;
// Pictures held beyond those in view: enough for paging back and forth without drawing again.
constexpr int kHeld = 6;
} // namespace

ReportPageView::ReportPageView(ReportOutput* report, QPagedPaintDevice* device, QWidget* parent)
    : QAbstractScrollArea(parent), report_(report), device_(device), cache_(kHeld) {
    pages_ = report_->pageCount(device_);
    const QPageLayout layout = device_->pageLayout();
    pageInch_ = layout.fullRect(QPageLayout::Inch).size();
    paintRectInch_ = layout.paintRect(QPageLayout::Inch);
    deviceDpi_ = device_->logicalDpiY();
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
    updateScrollBars();
}

QSize ReportPageView::pageSizeOnScreen() const {
    const qreal dpi = logicalDpiY() * zoom_;
    return QSize(std::max(1, int(std::lround(pageInch_.width() * dpi))),
                 std::max(1, int(std::lround(pageInch_.height() * dpi))));
}

int ReportPageView::pageTop(int n) const {
    return kGap + (n - 1) * (pageSizeOnScreen().height() + kGap);
}

void ReportPageView::updateScrollBars() {
    const QSize page = pageSizeOnScreen();
    // The last page can be brought to the top of the view, like every other.
    verticalScrollBar()->setRange(0, std::max(0, pageTop(std::max(1, pages_)) - kGap));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, std::max(0, page.width() + 2 * kGap - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

int ReportPageView::currentPage() const {
    if (pages_ == 0)
        return 0;
    const int step = pageSizeOnScreen().height() + kGap;
    const int y = verticalScrollBar()->value() + step / 3;
    return std::clamp(y / step + 1, 1, pages_);
}

void ReportPageView::setCurrentPage(int page) {
    if (pages_ == 0)
        return;
    verticalScrollBar()->setValue(pageTop(std::clamp(page, 1, pages_)) - kGap);
}

void ReportPageView::setZoomFactor(qreal zoom) {
    zoom = std::clamp(zoom, 0.1, 10.0);
    if (zoom == zoom_)
        return;
    const int page = currentPage();
    zoom_ = zoom;
    cache_.clear();
    updateScrollBars();
    setCurrentPage(page);
    viewport()->update();
}

void ReportPageView::fitInView() {
    const qreal byWidth = (viewport()->width() - 2 * kGap) / (pageInch_.width() * logicalDpiY());
    const qreal byHeight = (viewport()->height() - 2 * kGap) / (pageInch_.height() * logicalDpiY());
    setZoomFactor(std::min(byWidth, byHeight));
}

void ReportPageView::fitToWidth() {
    setZoomFactor((viewport()->width() - 2 * kGap) / (pageInch_.width() * logicalDpiY()));
}

QImage ReportPageView::pageImage(int n) {
    if (const QImage* held = cache_.object(n))
        return *held;
    const QSize size = pageSizeOnScreen();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    // The picture claims the resolution of the device the report was laid out on, so that every font takes the
    // room it was measured with; the painter scales the page down to the screen.
    const int dotsPerMeter = int(std::lround(deviceDpi_ / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const qreal scale = size.width() / (pageInch_.width() * deviceDpi_);
        p.scale(scale, scale);
        p.translate(paintRectInch_.left() * deviceDpi_, paintRectInch_.top() * deviceDpi_);
        report_->drawPage(p, n);
    }
    cache_.insert(n, new QImage(image));
    return image;
}

void ReportPageView::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    const QSize page = pageSizeOnScreen();
    const int x = std::max(kGap, (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
    const int top = verticalScrollBar()->value();
    const int step = page.height() + kGap;
    const int first = std::max(1, (top + e->rect().top()) / step);
    for (int n = first; n <= pages_; ++n) {
        const int y = pageTop(n) - top;
        if (y > e->rect().bottom())
            break;
        if (y + page.height() < e->rect().top())
            continue;
        p.fillRect(QRect(x + 3, y + 3, page.width(), page.height()), QColor(0, 0, 0, 80));
        p.drawImage(QPoint(x, y), pageImage(n));
    }
}

void ReportPageView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
}

void ReportPageView::scrollContentsBy(int, int) {
    viewport()->update();
    if (const int page = currentPage(); page != lastReported_) {
        lastReported_ = page;
        emit currentPageChanged(page);
    }
}
