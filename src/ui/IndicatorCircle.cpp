#include "IndicatorCircle.h"

#include <QPainter>

IndicatorCircle::IndicatorCircle(QPalette::ColorRole schemeRole, QWidget* parent)
    : QWidget(parent), m_schemeRole(schemeRole)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void IndicatorCircle::setFillColour(const QColor& colour)
{
    if (m_fill == colour)
        return;
    m_fill = colour;
    update();
}

QColor IndicatorCircle::fillColour() const
{
    return m_fill.value_or(palette().color(m_schemeRole));
}

void IndicatorCircle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(fillColour());
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
