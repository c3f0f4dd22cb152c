#pragma once

#include "FloatingBarGeometry.h"

#include <QAbstractButton>
#include <QImage>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <array>

namespace orvanta {

class AppState;

// A button of the bar. It never takes the keyboard focus (the bar must not take it from the
// window the text goes to): it is for the pointer and for a screen reader's press action.
class FloatingBarButton final : public QAbstractButton {
    Q_OBJECT

public:
    enum class Look : quint8 { Invisible, Cancel, Stop };
    FloatingBarButton(Look look, const QString &accessibleName, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Look m_look;
    QImage m_symbol;
};

// The always-on-top bar, painted with QPainter so that an idle instance does not load Qt
// Quick: a thin handle when idle (grown while the pointer is over it), a recording pill with
// cancel, a pulsing dot, the live waveform and stop, or a transcribing pill with running dots.
class FloatingBarWindow final : public QWidget {
    Q_OBJECT

public:
    explicit FloatingBarWindow(AppState &appState);

    // Without a compositor transparent pixels are black: the window is then cut to the area
    // that reacts to the pointer, and the idle handle always shows at its grown size.
    void setComposited(bool composited);
    bool isHovering() const { return m_hovering; }
    // Where the pointer counts for the current status and size.
    QRect reactiveArea() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool idleLook() const;
    bool grown() const;
    void followStatus();
    void followLevel();
    void setHovering(bool hovering);
    void growHandle();
    void layOutButtons();
    void updateMask();
    void updateAnimations();
    double barHeight(int index) const;
    QRectF waveformArea() const;

    void paintIdleHandle(QPainter &painter) const;
    void paintPill(QPainter &painter) const;
    void paintGradientDot(QPainter &painter, const QPointF &topLeft) const;
    void paintWaveform(QPainter &painter) const;
    void paintLoadingDots(QPainter &painter, const QPointF &topLeft) const;

    AppState &m_appState;
    FloatingBarButton *m_handle;
    FloatingBarButton *m_cancel;
    FloatingBarButton *m_stop;
    QImage m_micSymbol;
    bool m_composited = true;
    bool m_hovering = false;
    QVariantAnimation m_handleSize;
    QVariantAnimation m_pulse;
    QVariantAnimation m_waveStep;
    std::array<double, FloatingBarGeometry::waveformBars> m_barsFrom{};
    std::array<double, FloatingBarGeometry::waveformBars> m_barsTo{};
    QTimer m_loadingDots;
    int m_loadingPhase = 0;
};

} // namespace orvanta
