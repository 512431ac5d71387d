#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Acts on a modal window once it is open: modal windows run their own event loop, so a test
// arranges beforehand what to do in them.
template <typename Window>
void whenModal(const std::function<void(Window&)>& action, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, action, timeoutMs] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        *waited += 5;
        if (!window && *waited < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (window)
            action(*window);
    });
    timer->start();
}
