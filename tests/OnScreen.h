#pragma once

#include "frmTwinseek.h"

#include <QTest>
#include <memory>

// The window shown and on screen; null when it does not appear.
inline std::unique_ptr<TfrmTwinseek> OnScreen(std::unique_ptr<TfrmTwinseek> window) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}
