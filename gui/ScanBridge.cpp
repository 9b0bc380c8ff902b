#include "ScanBridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <chrono>

TScanBridge::TScanBridge(QObject* parent) : QObject(parent) {}

void TScanBridge::ScanMessage(uint32_t message, int32_t first, int32_t second) {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (FClosing)
            return;
        FInFlight = true;
    }
    QMetaObject::invokeMethod(
        this,
        [this, message, first, second] {
            bool closing = false;
            {
                std::lock_guard<std::mutex> lock(FMutex);
                closing = FClosing;
            }
            if (!closing)
                emit Message(message, first, second);
        },
        Qt::BlockingQueuedConnection);
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FInFlight = false;
    }
    FIdle.notify_all();
}

void TScanBridge::Close() {
    std::unique_lock<std::mutex> lock(FMutex);
    FClosing = true;
    while (FInFlight) {
        // The blocked call waits in this thread's event queue; deliver just that kind of event.
        lock.unlock();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        lock.lock();
        FIdle.wait_for(lock, std::chrono::milliseconds(5), [this] { return !FInFlight; });
    }
}
