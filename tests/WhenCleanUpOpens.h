#pragma once

#include "frmCleanUp.h"

#include <QApplication>
#include <QTimer>
#include <functional>

// Runs `act` on the clean-up dialog as soon as the window has opened it; `act` must close it.
inline void WhenCleanUpOpens(const std::function<void(TfrmCleanUp&)>& act) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* dialog = qobject_cast<TfrmCleanUp*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start();
}
