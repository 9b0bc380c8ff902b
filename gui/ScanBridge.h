#pragma once

#include "ScanMessages.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>

// Carries the scan thread's messages to the GUI thread. The scan thread waits in each message
// until the GUI thread has run the handler (the Message signal), as the scan's synchronous
// messages require. A run of messages is handed over as a whole, and the GUI thread runs the
// handler for each in turn.
//
// A scan sends tens of thousands of messages a second, and waking a sleeping thread twice per
// message would cost more than the scan itself. So a message wakes the GUI thread with an event,
// and the GUI thread, after a handler, waits a few microseconds for the next message before it
// goes back to its event loop (for a few milliseconds at most, so that the window stays
// responsive); the scan thread likewise spins briefly before it sleeps.
class TScanBridge : public QObject, public TScanListener {
    Q_OBJECT

  public:
    explicit TScanBridge(QObject* parent = nullptr);

    // Scan thread.
    void ScanMessage(uint32_t message, int32_t first, int32_t second) override;
    void ScanMessages(const TScanMessage* messages, size_t count,
                      const std::function<bool()>& goOn) override;

    // GUI thread, before the scan thread is stopped and joined: from now on messages are
    // dropped, and a message the scan thread waits in is completed (without its handler) so
    // that the thread can end.
    void Close();

  signals:
    void Message(uint32_t message, int32_t first, int32_t second);

  protected:
    void customEvent(QEvent* event) override;

  private:
    // Publishes the run of messages and waits until the GUI thread has handled it.
    void Deliver(const TScanMessage* messages, size_t count, const std::function<bool()>* goOn);
    // Runs the handlers of the published run if no one has claimed it yet.
    bool HandlePending(bool runHandler);
    void Complete();
    // Either thread: posts the event that wakes the GUI thread, unless one is already on its
    // way. With at most one such event at a time, the two threads never post at once, so the
    // order of their posts is one that the flags below establish.
    void PostWakeUp();

    // The run being delivered, with what is asked before each of its messages (null: nothing);
    // written by the scan thread before FPublished is set.
    const TScanMessage* FMessages = nullptr;
    size_t FCount = 0;
    const std::function<bool()>* FGoOn = nullptr;
    std::atomic<bool> FPublished{false};    // a run waits for the GUI thread
    std::atomic<bool> FHandled{false};      // its handler has run
    std::atomic<bool> FGuiWaiting{false};   // the GUI thread is looking for the next message
    std::atomic<bool> FWakeUpPosted{false}; // a wake-up event waits in the GUI thread's queue

    std::atomic<bool> FScanAsleep{false}; // the scan thread waits on FWake for the handler
    std::atomic<bool> FClosing{false};    // messages are dropped from now on
    std::atomic<bool> FInFlight{false};   // the scan thread is inside a delivery

    std::mutex FMutex; // guards the sleep on FWake against a lost wake-up
    std::condition_variable FWake;
};
