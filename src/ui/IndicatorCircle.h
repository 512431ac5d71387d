#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>
#include <optional>

// The receive indicator: a filled circle with a thin outline. Until it is given a colour it is
// filled with a colour of the platform's scheme, and follows changes of the scheme.
class IndicatorCircle : public QWidget {
    Q_OBJECT
public:
    explicit IndicatorCircle(QPalette::ColorRole schemeRole, QWidget* parent = nullptr);

    void setFillColour(const QColor& colour);
    QColor fillColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPalette::ColorRole m_schemeRole;
    std::optional<QColor> m_fill;
};
