#pragma once

#include "RecordingDesktop.h"
#include "RemovalPlaces.h"
#include "WorkingDirectory.h"

#include <optional>

// Where a window test runs, for as long as the object lives: a fresh temporary working directory
// and a fresh recording desktop in place of the real one. The desktop is given back before the
// directory is left.
class TWindowTestPlace {
  public:
    TWindowTestPlace() { TDesktop::SetCurrent(&Desktop); }
    ~TWindowTestPlace() { TDesktop::SetCurrent(nullptr); }
    TWindowTestPlace(const TWindowTestPlace&) = delete;
    TWindowTestPlace& operator=(const TWindowTestPlace&) = delete;

    // The action log and the trash lie in the working directory from now on.
    void KeepRemovalsHere() { FRemovalPlaces.emplace(WorkDir.path().toStdString()); }

    TWorkingDirectory WorkDir;
    TRecordingDesktop Desktop;

  private:
    std::optional<TRemovalPlaces> FRemovalPlaces;
};
