#include "slice_view.h"

#include <QAction>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "formats/numbers.h"

namespace ferndel {
namespace {

// Whole multiples above 1 keep every slice pixel the same size on screen.
constexpr double kZoomSteps[] = {1 / 64.0, 1 / 48.0, 1 / 32.0, 1 / 24.0, 1 / 16.0, 1 / 12.0,
                                 1 / 8.0,  1 / 6.0,  1 / 4.0,  1 / 3.0,  1 / 2.0,  1,
                                 2,        3,        4,        6,        8,        12,
                                 16,       24,       32,       48,       64};
constexpr double kLargestZoom = 64;
// The picture's extent on screen stays well inside the int range of scroll bars.
constexpr double kLargestExtent = 1 << 30;
// One notch of a common mouse wheel.
constexpr int kWheelNotch = 120;

QString zoom_text(double zoom) {
    const double percent = zoom * 100;
    return QStringLiteral("Zoom %1 %")
        .arg(QString::fromStdString(percent >= 100 ? std::to_string(std::lround(percent))
                                                   : formats::fixed(percent, 1)));
}

}  // namespace

CSliceView::CSliceView(QWidget* parent) : QAbstractScrollArea(parent) {
    setAccessibleName(QStringLiteral("Slice picture"));
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::CrossCursor);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);

    m_zoom_in = new QAction(QStringLiteral("Zoom &In"), this);
    m_zoom_in->setShortcuts(
        {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    m_zoom_out = new QAction(QStringLiteral("Zoom &Out"), this);
    m_zoom_out->setShortcut(QKeySequence::ZoomOut);
    m_actual_size = new QAction(QStringLiteral("&Actual Size"), this);
    m_actual_size->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    m_fit = new QAction(QStringLiteral("&Fit to Window"), this);
    connect(m_zoom_in, &QAction::triggered, this, &CSliceView::zoom_in);
    connect(m_zoom_out, &QAction::triggered, this, &CSliceView::zoom_out);
    connect(m_actual_size, &QAction::triggered, this, &CSliceView::show_actual_size);
    connect(m_fit, &QAction::triggered, this, &CSliceView::fit_to_pane);
    for (QAction* action : {m_zoom_in, m_zoom_out, m_actual_size, m_fit}) {
        action->setEnabled(false);
        addAction(action);
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QSize CSliceView::sizeHint() const {
    return QSize(512, 512);
}

void CSliceView::set_picture(QImage picture) {
    const bool same_size = m_has_picture && !picture.isNull() && picture.size() == m_picture.size();
    m_picture = std::move(picture);
    m_has_picture = true;
    for (QAction* action : {m_zoom_in, m_zoom_out, m_actual_size, m_fit}) {
        action->setEnabled(!m_picture.isNull());
    }
    if (!same_size || m_fitted) {
        m_fitted = true;
        m_zoom = fit_zoom();
    }
    update_scroll_bars();
    viewport()->update();
    emit zoom_text_changed(m_picture.isNull() ? QString() : zoom_text(m_zoom));
    update_pixel_status();
}

double CSliceView::max_zoom() const {
    const int longest = std::max(m_picture.width(), m_picture.height());
    return longest == 0 ? kLargestZoom : std::min(kLargestZoom, kLargestExtent / longest);
}

double CSliceView::fit_zoom() const {
    if (m_picture.isNull()) {
        return 1;
    }
    const QSize pane = viewport()->size();
    double zoom = std::min(static_cast<double>(pane.width()) / m_picture.width(),
                           static_cast<double>(pane.height()) / m_picture.height());
    if (zoom >= 1) {
        zoom = std::floor(zoom);
    }
    return std::clamp(zoom, kZoomSteps[0] / 1024, max_zoom());
}

void CSliceView::zoom_in() {
    step_zoom(true, viewport_centre());
}

void CSliceView::zoom_out() {
    step_zoom(false, viewport_centre());
}

void CSliceView::step_zoom(bool in, QPointF anchor) {
    if (m_picture.isNull()) {
        return;
    }
    double zoom = 0;
    if (in) {
        const double* next =
            std::upper_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoom * (1 + 1e-9));
        zoom = std::min(next == std::end(kZoomSteps) ? kLargestZoom : *next, max_zoom());
    } else {
        const double* not_smaller =
            std::lower_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoom * (1 - 1e-9));
        // Smaller than the pane holds it whole, or than 1:1, shows nothing more.
        zoom = std::max(not_smaller == std::begin(kZoomSteps) ? 0 : *(not_smaller - 1),
                        std::min(fit_zoom(), 1.0));
    }
    m_fitted = false;
    set_zoom(zoom, anchor);
}

void CSliceView::show_actual_size() {
    if (m_picture.isNull()) {
        return;
    }
    m_fitted = false;
    set_zoom(std::min(1.0, max_zoom()), viewport_centre());
}

void CSliceView::fit_to_pane() {
    if (m_picture.isNull()) {
        return;
    }
    m_fitted = true;
    set_zoom(fit_zoom(), viewport_centre());
}

QPointF CSliceView::viewport_centre() const {
    return QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0);
}

void CSliceView::set_zoom(double zoom, QPointF anchor) {
    const QPointF slice_point = (anchor - picture_origin()) / m_zoom;
    m_zoom = zoom;
    update_scroll_bars();
    const QPointF scroll = slice_point * m_zoom - anchor;
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(scroll.x())));
    verticalScrollBar()->setValue(static_cast<int>(std::lround(scroll.y())));
    viewport()->update();
    emit zoom_text_changed(zoom_text(m_zoom));
    update_pixel_status();
}

QSizeF CSliceView::picture_extent() const {
    return QSizeF(m_picture.width() * m_zoom, m_picture.height() * m_zoom);
}

QPointF CSliceView::picture_origin() const {
    const QSizeF extent = picture_extent();
    const QSize pane = viewport()->size();
    // A picture smaller than the pane sits in its middle, on whole pixels.
    const double x = extent.width() <= pane.width()
                         ? std::floor((pane.width() - extent.width()) / 2)
                         : -horizontalScrollBar()->value();
    const double y = extent.height() <= pane.height()
                         ? std::floor((pane.height() - extent.height()) / 2)
                         : -verticalScrollBar()->value();
    return QPointF(x, y);
}

void CSliceView::update_scroll_bars() {
    const QSizeF extent = picture_extent();
    const QSize pane = viewport()->size();
    const auto range = [](double extent, int pane) {
        return std::max(0, static_cast<int>(std::ceil(extent)) - pane);
    };
    horizontalScrollBar()->setRange(0, range(extent.width(), pane.width()));
    horizontalScrollBar()->setPageStep(pane.width());
    verticalScrollBar()->setRange(0, range(extent.height(), pane.height()));
    verticalScrollBar()->setPageStep(pane.height());
}

std::optional<QPoint> CSliceView::pixel_at(QPoint viewport_point) const {
    if (m_picture.isNull()) {
        return std::nullopt;
    }
    // The pixel whose area holds the centre of the screen pixel, as the painter samples it.
    const QPointF at = (QPointF(viewport_point) + QPointF(0.5, 0.5) - picture_origin()) / m_zoom;
    const QPoint pixel(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
    if (!m_picture.rect().contains(pixel)) {
        return std::nullopt;
    }
    return pixel;
}

void CSliceView::update_pixel_status() {
    const std::optional<QPoint> pixel = m_mouse ? pixel_at(*m_mouse) : std::nullopt;
    if (!pixel) {
        emit pixel_status_changed(QString());
        return;
    }
    const bool black = m_picture.pixelIndex(*pixel) == 1;
    emit pixel_status_changed(
        QStringLiteral("x %1, y %2: %3")
            .arg(pixel->x())
            .arg(pixel->y())
            .arg(black ? QStringLiteral("1 (black)") : QStringLiteral("0 (white)")));
}

void CSliceView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (!m_has_picture) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("The picture of the slice appears here after Info."));
        return;
    }
    if (m_picture.isNull()) {
        painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("This slice is too large to be shown."));
        return;
    }
    // Only the slice pixels under the exposed part: the painter samples them, nearest
    // neighbour, straight from the 1-bit picture.
    const QPointF origin = picture_origin();
    const QRectF shown = QRectF(origin, picture_extent()) & QRectF(event->rect());
    if (shown.isEmpty()) {
        return;
    }
    const int x0 = std::max(0, static_cast<int>(std::floor((shown.left() - origin.x()) / m_zoom)));
    const int y0 = std::max(0, static_cast<int>(std::floor((shown.top() - origin.y()) / m_zoom)));
    const int x1 = std::min(m_picture.width(),
                            static_cast<int>(std::ceil((shown.right() - origin.x()) / m_zoom)));
    const int y1 = std::min(m_picture.height(),
                            static_cast<int>(std::ceil((shown.bottom() - origin.y()) / m_zoom)));
    const QRect source(x0, y0, x1 - x0, y1 - y0);
    const QRectF target(origin.x() + x0 * m_zoom, origin.y() + y0 * m_zoom, source.width() * m_zoom,
                        source.height() * m_zoom);
    painter.drawImage(target, m_picture, source);
}

void CSliceView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (m_fitted && !m_picture.isNull()) {
        m_zoom = fit_zoom();
        emit zoom_text_changed(zoom_text(m_zoom));
    }
    update_scroll_bars();
    update_pixel_status();
}

void CSliceView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_drag_from = event->position().toPoint();
    m_drag_scroll = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void CSliceView::mouseMoveEvent(QMouseEvent* event) {
    m_mouse = event->position().toPoint();
    if (m_drag_from) {
        const QPoint moved = *m_mouse - *m_drag_from;
        horizontalScrollBar()->setValue(m_drag_scroll.x() - moved.x());
        verticalScrollBar()->setValue(m_drag_scroll.y() - moved.y());
    }
    update_pixel_status();
}

void CSliceView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_drag_from.reset();
    viewport()->setCursor(Qt::CrossCursor);
}

void CSliceView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    if (m_picture.isNull()) {
        return;
    }
    // Touch pads send small steps: a zoom step for every notch's worth.
    m_wheel_angle += event->angleDelta().y();
    for (; m_wheel_angle >= kWheelNotch; m_wheel_angle -= kWheelNotch) {
        step_zoom(true, event->position());
    }
    for (; m_wheel_angle <= -kWheelNotch; m_wheel_angle += kWheelNotch) {
        step_zoom(false, event->position());
    }
}

bool CSliceView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) {
        m_mouse.reset();
        update_pixel_status();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace ferndel
