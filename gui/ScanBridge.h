#pragma once

#include "ScanMessages.h"

#include <QObject>
#include <condition_variable>
#include <mutex>

// Carries the scan thread's messages to the GUI thread. Each message is handed over with a
// blocking queued call, so the handler runs on the GUI thread while the scan thread waits for it,
// as the scan's synchronous messages require.
class TScanBridge : public QObject, public TScanListener {
    Q_OBJECT

public:
    explicit TScanBridge(QObject* parent = nullptr);

    // Scan thread.
    void ScanMessage(uint32_t message, int32_t first, int32_t second) override;

    // GUI thread, before the scan thread is stopped and joined: from now on messages are
    // dropped, and a message the scan thread is blocked in is let through (to a handler that
    // no longer runs) so that the thread can end.
    void Close();

signals:
    void Message(uint32_t message, int32_t first, int32_t second);

private:
    std::mutex FMutex;
    std::condition_variable FIdle;
    bool FClosing = false;
    bool FInFlight = false;
};
