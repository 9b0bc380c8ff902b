#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Starts a program of the desktop (xdg-open, a text editor) for a file or an address, without
// waiting for it, and tells once when it failed; then `failed` gets the reason in a few words.
// With `exitTells` the program's exit status says whether it could open the target (xdg-open
// ends with an error when no application or no desktop is there): a failure to start and an
// error at the end count. Otherwise the program is an application that runs until the user
// closes it, and only a failure to start counts.
// The program is never stopped by this one's end: it outlives the window.
void LaunchDesktopProgram(const QStringList& command, bool exitTells,
                          const std::function<void(const QString& reason)>& failed);

// How many programs launched with `exitTells`, and requests to the desktop, still wait for
// their outcome.
int PendingDesktopPrograms();

// Counts as pending while it lives: a request to the desktop that waits for its answer.
class TPendingDesktopRequest {
  public:
    TPendingDesktopRequest();
    ~TPendingDesktopRequest();
    TPendingDesktopRequest(const TPendingDesktopRequest&) = delete;
    TPendingDesktopRequest& operator=(const TPendingDesktopRequest&) = delete;
};
