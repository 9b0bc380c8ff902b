#include "ScanBridge.h"

#include "SpinStep.h"

#include <QCoreApplication>
#include <QEvent>
#include <chrono>
#include <memory>

namespace {

using TClock = std::chrono::steady_clock;

// How long each side looks for the other before it sleeps, and how long the GUI thread stays
// with the scan's messages before it serves its other events again.
constexpr auto ScanSpin = std::chrono::microseconds(200);
constexpr auto GuiSpin = std::chrono::microseconds(200);
constexpr auto GuiBurst = std::chrono::milliseconds(8);

const QEvent::Type MessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

TScanBridge::TScanBridge(QObject* parent) : QObject(parent) {}

void TScanBridge::ScanMessage(uint32_t message, int32_t first, int32_t second) {
    const TScanMessage one{message, first, second};
    Deliver(&one, 1, nullptr);
}

void TScanBridge::ScanMessages(const TScanMessage* messages, size_t count,
                               const std::function<bool()>& goOn) {
    if (count > 0)
        Deliver(messages, count, &goOn);
}

void TScanBridge::Deliver(const TScanMessage* messages, size_t count,
                          const std::function<bool()>* goOn) {
    // In flight before closing is looked at, while Close sets closing before it looks at what is
    // in flight: one of the two sees the other.
    FInFlight.store(true);
    if (FClosing.load()) {
        FInFlight.store(false);
        return;
    }
    FMessages = messages;
    FCount = count;
    FGoOn = goOn;
    FHandled.store(false);
    FPublished.store(true);
    // Unless the GUI thread is already looking for it, the message needs an event to wake it.
    if (!FGuiWaiting.load())
        PostWakeUp();

    const auto until = TClock::now() + ScanSpin;
    while (!FHandled.load() && TClock::now() < until)
        SpinStep();
    if (!FHandled.load()) {
        // Asleep is set before handled is looked at, while Complete sets handled before it looks
        // at asleep: either this thread sees the message handled or the GUI thread wakes it.
        std::unique_lock<std::mutex> lock(FMutex);
        FScanAsleep.store(true);
        FWake.wait(lock, [this] { return FHandled.load(); });
        FScanAsleep.store(false);
    }
    FInFlight.store(false);
}

bool TScanBridge::HandlePending(bool runHandler) {
    bool expected = true;
    if (!FPublished.compare_exchange_strong(expected, false))
        return false;
    // A handler may stop the scan, which drops the rest of the run.
    for (size_t i = 0; runHandler && i < FCount; ++i) {
        if (FGoOn != nullptr && !(*FGoOn)())
            break;
        emit Message(FMessages[i].Message, FMessages[i].First, FMessages[i].Second);
    }
    Complete();
    return true;
}

void TScanBridge::Complete() {
    FHandled.store(true);
    if (FScanAsleep.load()) {
        std::lock_guard<std::mutex> lock(FMutex);
        FWake.notify_all();
    }
}

void TScanBridge::PostWakeUp() {
    if (FWakeUpPosted.load())
        return;
    // Made before the flag is taken, so that the GUI thread, which clears the flag before it
    // deletes the event, is seen to come after it.
    auto event = std::make_unique<QEvent>(MessageEvent);
    if (!FWakeUpPosted.exchange(true))
        QCoreApplication::postEvent(this, event.release());
}

void TScanBridge::customEvent(QEvent* event) {
    if (event->type() != MessageEvent)
        return;
    const auto burstEnd = TClock::now() + GuiBurst;
    FGuiWaiting.store(true);
    // Cleared before the GUI thread looks for a message: a message published before this point
    // that found the flag set is handled below.
    FWakeUpPosted.exchange(false);
    const bool closing = FClosing.load();
    HandlePending(!closing);
    while (!closing && TClock::now() < burstEnd) {
        const auto until = TClock::now() + GuiSpin;
        while (!FPublished.load() && TClock::now() < until)
            SpinStep();
        if (!HandlePending(true))
            break;
    }
    FGuiWaiting.store(false);
    // A message published just as the GUI thread stopped looking has no event of its own.
    if (FPublished.load())
        PostWakeUp();
}

void TScanBridge::Close() {
    // The scan thread does not touch the bridge after it clears in flight, so it cannot wake this
    // thread then: the wait below looks again every few milliseconds.
    FClosing.store(true);
    while (FInFlight.load()) {
        HandlePending(false);
        std::unique_lock<std::mutex> lock(FMutex);
        FWake.wait_for(lock, std::chrono::milliseconds(5), [this] { return !FInFlight.load(); });
    }
}
