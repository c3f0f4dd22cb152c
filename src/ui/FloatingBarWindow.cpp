#include "FloatingBarWindow.h"

#include "AppState.h"
#include "Symbols.h"

#include <QEasingCurve>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace orvanta {

namespace {

const QColor fill(0, 0, 0, 230);
const QColor handleFill(0, 0, 0, 140);
const QColor shadow(0, 0, 0, 64);
const QColor button(255, 255, 255, 36);
const QColor buttonHovered(255, 255, 255, 56);
const QColor buttonPressed(255, 255, 255, 71);
const QColor ink(255, 255, 255, 230);
const QColor cancelInk(255, 255, 255, 179);
const QColor dotOn(255, 255, 255, 242);
const QColor dotOff(255, 255, 255, 77);
const QColor stopRed(0xff, 0x3b, 0x30);
const QColor gradientStart(0, 122, 255);
const QColor gradientEnd(143, 46, 227);

// The recording pill, left to right: margin, cancel, dot, waveform, stop, margin.
constexpr int pillMargin = 10;
constexpr int pillSpacing = 9;
constexpr int cancelSize = 18;
constexpr int stopSize = 20;
constexpr int dotSize = 14;
constexpr qreal waveformHeight = 20;
constexpr qreal waveformBarWidth = 2.5;
constexpr qreal loadingDotSize = 2.5;
constexpr qreal loadingDotSpacing = 3;
constexpr int transcribingSpacing = 8;

QImage symbolImage(const QString &name, const QColor &colour, int size, qreal pixelRatio) {
    const int pixels = qCeil(size * pixelRatio);
    QImage image = Symbols::render(name, colour, QSize(pixels, pixels));
    image.setDevicePixelRatio(pixelRatio);
    return image;
}

void drawCentred(QPainter &painter, const QImage &image, const QPointF &centre) {
    const QSizeF size = image.deviceIndependentSize();
    painter.drawImage(QPointF(centre.x() - size.width() / 2, centre.y() - size.height() / 2),
                      image);
}

void fillRounded(QPainter &painter, const QRectF &rect, const QColor &colour) {
    const qreal radius = rect.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(rect, radius, radius);
}

qreal loadingDotsWidth() {
    const int count = FloatingBarGeometry::loadingDotCount;
    return count * loadingDotSize + (count - 1) * loadingDotSpacing;
}

} // namespace

FloatingBarButton::FloatingBarButton(Look look, const QString &accessibleName, QWidget *parent)
    : QAbstractButton(parent)
    , m_look(look) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(accessibleName);
    if (look == Look::Cancel)
        m_symbol = symbolImage(QStringLiteral("xmark"), cancelInk, 9, devicePixelRatioF());
}

void FloatingBarButton::paintEvent(QPaintEvent *) {
    if (m_look == Look::Invisible)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(isDown() ? buttonPressed : underMouse() ? buttonHovered : button);
    painter.drawEllipse(disc);
    if (m_look == Look::Cancel) {
        drawCentred(painter, m_symbol, disc.center());
    } else {
        painter.setBrush(stopRed);
        const QRectF square(0, 0, 11, 11);
        painter.drawRoundedRect(square.translated(disc.center() - square.center()), 3, 3);
    }
}

void FloatingBarButton::enterEvent(QEnterEvent *event) {
    QAbstractButton::enterEvent(event);
    update();
}

void FloatingBarButton::leaveEvent(QEvent *event) {
    QAbstractButton::leaveEvent(event);
    update();
}

FloatingBarWindow::FloatingBarWindow(AppState &appState)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus)
    , m_appState(appState)
    , m_handle(new FloatingBarButton(FloatingBarButton::Look::Invisible,
                                     QStringLiteral("Start dictation"), this))
    , m_cancel(new FloatingBarButton(FloatingBarButton::Look::Cancel,
                                     QStringLiteral("Cancel dictation"), this))
    , m_stop(new FloatingBarButton(FloatingBarButton::Look::Stop,
                                   QStringLiteral("Stop and transcribe"), this)) {
    setWindowTitle(QStringLiteral("Talvo"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    // Moves over the handle come here too: a button passes on those without a button held.
    setMouseTracking(true);
    m_handle->setMouseTracking(true);
    m_handle->setObjectName(QStringLiteral("handleArea"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_cancel->resize(cancelSize, cancelSize);
    m_stop->resize(stopSize, stopSize);
    m_micSymbol = symbolImage(QStringLiteral("mic.fill"), Qt::white, 11, devicePixelRatioF());

    connect(m_handle, &QAbstractButton::clicked, &appState, &AppState::toggleDictation);
    connect(m_cancel, &QAbstractButton::clicked, &appState, &AppState::cancelDictation);
    connect(m_stop, &QAbstractButton::clicked, &appState, &AppState::stopAndTranscribe);
    connect(&appState, &AppState::statusChanged, this, &FloatingBarWindow::followStatus);
    connect(&appState, &AppState::audioLevelChanged, this, &FloatingBarWindow::followLevel);

    m_handleSize.setDuration(260);
    m_handleSize.setEasingCurve(QEasingCurve(QEasingCurve::OutBack));
    m_handleSize.setStartValue(QSizeF(FloatingBarGeometry::idleHandle(grown())));
    m_handleSize.setEndValue(m_handleSize.startValue());
    m_pulse.setStartValue(0.0);
    m_pulse.setEndValue(1.0);
    m_pulse.setDuration(1400);
    m_pulse.setLoopCount(-1);
    m_waveStep.setStartValue(0.0);
    m_waveStep.setEndValue(1.0);
    m_waveStep.setDuration(120);
    m_waveStep.setEasingCurve(QEasingCurve(QEasingCurve::OutQuad));
    for (QVariantAnimation *animation : {&m_handleSize, &m_pulse, &m_waveStep})
        connect(animation, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    m_loadingDots.setInterval(FloatingBarGeometry::loadingDotInterval);
    connect(&m_loadingDots, &QTimer::timeout, this, [this] {
        m_loadingPhase = FloatingBarGeometry::nextLoadingPhase(m_loadingPhase);
        update();
    });
    followStatus();
}

void FloatingBarWindow::setComposited(bool composited) {
    m_composited = composited;
    growHandle();
    updateMask();
}

QRect FloatingBarWindow::reactiveArea() const {
    return FloatingBarGeometry::reactiveArea(m_appState.status(), size());
}

bool FloatingBarWindow::idleLook() const {
    return !m_appState.status().is(DictationStatus::Kind::Recording) &&
           !m_appState.status().is(DictationStatus::Kind::Transcribing);
}

bool FloatingBarWindow::grown() const {
    return m_hovering || !m_composited;
}

void FloatingBarWindow::followStatus() {
    const bool idle = idleLook();
    const bool recording = m_appState.status().is(DictationStatus::Kind::Recording);
    m_handle->setVisible(idle);
    m_cancel->setVisible(recording);
    m_stop->setVisible(recording);
    if (!idle)
        setHovering(false);
    if (recording) {
        m_waveStep.stop();
        followLevel();
        m_barsFrom = m_barsTo;
    }
    layOutButtons();
    updateMask();
    updateAnimations();
    update();
}

void FloatingBarWindow::followLevel() {
    if (!m_appState.status().is(DictationStatus::Kind::Recording))
        return;
    const int bars = FloatingBarGeometry::waveformBars;
    for (int index = 0; index < bars; ++index) {
        const auto at = std::size_t(index);
        m_barsFrom[at] = barHeight(index);
        m_barsTo[at] = FloatingBarGeometry::waveformBarHeight(index, bars, m_appState.audioLevel());
    }
    m_waveStep.stop();
    if (isVisible())
        m_waveStep.start();
    else
        m_barsFrom = m_barsTo;
    update();
}

void FloatingBarWindow::setHovering(bool hovering) {
    hovering = hovering && idleLook();
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    growHandle();
}

void FloatingBarWindow::growHandle() {
    const QSizeF target(FloatingBarGeometry::idleHandle(grown()));
    const QSizeF shown = m_handleSize.currentValue().toSizeF();
    m_handleSize.stop();
    m_handleSize.setStartValue(isVisible() ? shown : target);
    m_handleSize.setEndValue(target);
    if (isVisible())
        m_handleSize.start();
    update();
}

void FloatingBarWindow::layOutButtons() {
    m_handle->setGeometry(reactiveArea());
    m_cancel->move(pillMargin, (height() - cancelSize) / 2);
    m_stop->move(width() - pillMargin - stopSize, (height() - stopSize) / 2);
}

void FloatingBarWindow::updateMask() {
    if (m_composited) {
        if (!mask().isEmpty())
            clearMask();
        return;
    }
    // What shows is what can be hovered and clicked.
    const QRect outer = reactiveArea();
    const int diameter = outer.height();
    QRegion region(outer.adjusted(diameter / 2, 0, -diameter / 2, 0));
    region += QRegion(QRect(outer.left(), outer.top(), diameter, diameter), QRegion::Ellipse);
    region += QRegion(QRect(outer.right() - diameter + 1, outer.top(), diameter, diameter),
                      QRegion::Ellipse);
    if (region != mask())
        setMask(region);
}

// Only a pill that moves animates; an idle bar runs no timer at all.
void FloatingBarWindow::updateAnimations() {
    const bool shown = isVisible();
    const bool pulsing = shown && !idleLook();
    if (pulsing && m_pulse.state() != QAbstractAnimation::Running)
        m_pulse.start();
    else if (!pulsing)
        m_pulse.stop();
    const bool transcribing = shown && m_appState.status().is(DictationStatus::Kind::Transcribing);
    if (transcribing && !m_loadingDots.isActive()) {
        m_loadingPhase = 0;
        m_loadingDots.start();
    } else if (!transcribing) {
        m_loadingDots.stop();
    }
    if (!shown)
        m_waveStep.stop();
}

double FloatingBarWindow::barHeight(int index) const {
    const auto at = std::size_t(index);
    const double step = m_waveStep.state() == QAbstractAnimation::Running
                            ? m_waveStep.currentValue().toDouble()
                            : 1;
    return m_barsFrom[at] + (m_barsTo[at] - m_barsFrom[at]) * step;
}

QRectF FloatingBarWindow::waveformArea() const {
    const qreal left = pillMargin + cancelSize + pillSpacing + dotSize + pillSpacing;
    const qreal right = width() - pillMargin - stopSize - pillSpacing;
    return {left, (height() - waveformHeight) / 2, right - left, waveformHeight};
}

void FloatingBarWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layOutButtons();
    updateMask();
}

void FloatingBarWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    updateAnimations();
}

void FloatingBarWindow::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    updateAnimations();
}

void FloatingBarWindow::mouseMoveEvent(QMouseEvent *event) {
    QWidget::mouseMoveEvent(event);
    setHovering(reactiveArea().contains(event->position().toPoint()));
}

void FloatingBarWindow::leaveEvent(QEvent *event) {
    QWidget::leaveEvent(event);
    setHovering(false);
}

void FloatingBarWindow::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (idleLook())
        paintIdleHandle(painter);
    else
        paintPill(painter);
}

void FloatingBarWindow::paintIdleHandle(QPainter &painter) const {
    const QSizeF size = m_handleSize.currentValue().toSizeF();
    const QRectF handle(QPointF(width() - size.width(), height() - size.height()) / 2, size);
    if (m_hovering && m_composited)
        fillRounded(painter, handle.adjusted(-2, 0, 2, 3), shadow);
    fillRounded(painter, handle, grown() ? fill : handleFill);
    if (grown()) {
        painter.setOpacity(m_hovering ? 1.0 : 0.6);
        drawCentred(painter, m_micSymbol, handle.center());
        painter.setOpacity(1.0);
    }
}

void FloatingBarWindow::paintPill(QPainter &painter) const {
    fillRounded(painter, rect(), fill);
    const qreal dotTop = (height() - dotSize) / 2.0;
    if (m_appState.status().is(DictationStatus::Kind::Recording)) {
        paintGradientDot(painter, {qreal(pillMargin + cancelSize + pillSpacing), dotTop});
        paintWaveform(painter);
        return;
    }
    const qreal content = dotSize + transcribingSpacing + loadingDotsWidth();
    const qreal left = (width() - content) / 2;
    paintGradientDot(painter, {left, dotTop});
    paintLoadingDots(painter,
                     {left + dotSize + transcribingSpacing, (height() - loadingDotSize) / 2});
}

void FloatingBarWindow::paintGradientDot(QPainter &painter, const QPointF &topLeft) const {
    // Breathes between half and full opacity, easing in and out each way.
    const double phase = m_pulse.currentValue().toDouble();
    const QEasingCurve easing(QEasingCurve::InOutQuad);
    const double rise = phase < 0.5 ? easing.valueForProgress(phase * 2)
                                    : 1 - easing.valueForProgress(phase * 2 - 1);
    const QRectF disc(topLeft, QSizeF(dotSize, dotSize));
    QLinearGradient gradient(disc.topLeft(), disc.bottomRight());
    gradient.setColorAt(0, gradientStart);
    gradient.setColorAt(1, gradientEnd);
    painter.setOpacity(0.5 + 0.5 * rise);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(disc);
    painter.setOpacity(1.0);
}

void FloatingBarWindow::paintWaveform(QPainter &painter) const {
    const QRectF area = waveformArea();
    const int bars = FloatingBarGeometry::waveformBars;
    const qreal spread = (2 * bars - 1) * waveformBarWidth;
    qreal x = area.center().x() - spread / 2;
    for (int index = 0; index < bars; ++index, x += 2 * waveformBarWidth) {
        const qreal barHeightNow = barHeight(index);
        const QRectF bar(x, area.center().y() - barHeightNow / 2, waveformBarWidth, barHeightNow);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawRoundedRect(bar, waveformBarWidth / 2, waveformBarWidth / 2);
    }
}

void FloatingBarWindow::paintLoadingDots(QPainter &painter, const QPointF &topLeft) const {
    painter.setPen(Qt::NoPen);
    for (int index = 0; index < FloatingBarGeometry::loadingDotCount; ++index) {
        painter.setBrush(index == m_loadingPhase ? dotOn : dotOff);
        const qreal x = topLeft.x() + index * (loadingDotSize + loadingDotSpacing);
        painter.drawEllipse(QRectF(x, topLeft.y(), loadingDotSize, loadingDotSize));
    }
}

} // namespace orvanta
