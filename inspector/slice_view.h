// The picture pane of Ferndel: the slice's picture, fitted to the pane at first, magnified
// without smoothing, panned with the scroll bars or by dragging, with the pixel under the
// mouse reported as a status text.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <optional>

class QAction;

namespace ferndel {

class CSliceView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit CSliceView(QWidget* parent = nullptr);

    // Shows `picture`. One of the same size as the picture shown keeps the zoom and the scroll
    // position, so that stepping through a data set compares like with like; any other is
    // fitted to the pane. A null picture stands for a slice too large to show.
    void set_picture(QImage picture);
    const QImage& picture() const { return m_picture; }

    // Pane pixels per slice pixel.
    double zoom() const { return m_zoom; }

    // The slice pixel drawn at a point of the viewport, if any.
    std::optional<QPoint> pixel_at(QPoint viewport_point) const;

    QAction* zoom_in_action() const { return m_zoom_in; }
    QAction* zoom_out_action() const { return m_zoom_out; }
    QAction* actual_size_action() const { return m_actual_size; }
    QAction* fit_action() const { return m_fit; }

    QSize sizeHint() const override;

  signals:
    // "x 12, y 40: 1 (black)" for the pixel under the mouse; empty off the picture.
    void pixel_status_changed(const QString& text);
    // "Zoom 400 %"; empty without a picture.
    void zoom_text_changed(const QString& text);

  public slots:
    void zoom_in();
    void zoom_out();
    void show_actual_size();
    void fit_to_pane();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    double fit_zoom() const;
    double max_zoom() const;
    // One step up or down the zoom ladder, keeping the slice point under `anchor` in place.
    void step_zoom(bool in, QPointF anchor);
    // Sets the zoom keeping the slice point under `anchor` (a viewport point) where it is.
    void set_zoom(double zoom, QPointF anchor);
    QPointF viewport_centre() const;
    QSizeF picture_extent() const;
    // Top left corner of the picture in viewport coordinates.
    QPointF picture_origin() const;
    void update_scroll_bars();
    void update_pixel_status();

    QImage m_picture;
    bool m_has_picture = false;
    double m_zoom = 1.0;
    bool m_fitted = true;  // follows the pane's size until the user zooms
    std::optional<QPoint> m_mouse;
    std::optional<QPoint> m_drag_from;
    QPoint m_drag_scroll;
    int m_wheel_angle = 0;
    QAction* m_zoom_in;
    QAction* m_zoom_out;
    QAction* m_actual_size;
    QAction* m_fit;
};

}  // namespace ferndel
