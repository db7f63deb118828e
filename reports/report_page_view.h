#pragma once
// The pages of a report on screen, one below the other, drawn when they come into view: a report of a thousand
// pages opens as fast as one of ten, and only the pages near the view are held as pictures.

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>
#include <QRectF>
#include <QSizeF>

class QPagedPaintDevice;
class ReportOutput;

class ReportPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Lays the report out on device (the printer the preview prints to by default); both outlive the view.
    ReportPageView(ReportOutput* report, QPagedPaintDevice* device, QWidget* parent = nullptr);

    int pageCount() const { return pages_; }
    // The page at the top of the view.
    int currentPage() const;
    void setCurrentPage(int page);
    qreal zoomFactor() const { return zoom_; }
    void setZoomFactor(qreal zoom);
    void zoomIn() { setZoomFactor(zoom_ * 1.25); }
    void zoomOut() { setZoomFactor(zoom_ / 1.25); }
    void fitInView();
    void fitToWidth();
    // How many page pictures are held now (a few around the view, never the whole report).
    int heldPages() const { return int(cache_.size()); }
    // The picture of page n at the current zoom.
    QImage pageImage(int n);

signals:
    void currentPageChanged(int page);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSize pageSizeOnScreen() const;
    int pageTop(int n) const;
    void updateScrollBars();

    ReportOutput* report_;
    QPagedPaintDevice* device_;
    int pages_ = 0;
    qreal zoom_ = 1.0;
    QSizeF pageInch_;      // the whole sheet
    QRectF paintRectInch_; // where the report draws on it
    qreal deviceDpi_ = 0;
    QCache<int, QImage> cache_;
    int lastReported_ = 0;
};
