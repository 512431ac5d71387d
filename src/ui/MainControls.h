#pragma once

#include "measurement/MainView.h"

#include <QMap>

class IndicatorCircle;
class QLabel;
class QWidget;

// The main window's controls, built from a constant table of names and twip positions: the
// headings, the value boxes, the status line and the receive indicator.
namespace MainControls {
// The client area, in twips.
constexpr int ClientWidth = 3840;
constexpr int ClientHeight = 1740;

// The client area with its controls; the labels that show values by what they show.
QWidget* build(QWidget* parent, QMap<MainView::Label, QLabel*>& labels,
               IndicatorCircle*& indicator);
} // namespace MainControls
