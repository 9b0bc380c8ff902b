#pragma once

#include <QDir>
#include <QTemporaryDir>

// A fresh temporary folder as the working directory for as long as the object lives: the
// window keeps its settings file in the working directory.
class TWorkingDirectory {
  public:
    TWorkingDirectory() : FOld(QDir::currentPath()) {
        FEntered = FDir.isValid() && QDir::setCurrent(FDir.path());
    }
    ~TWorkingDirectory() { QDir::setCurrent(FOld); }
    TWorkingDirectory(const TWorkingDirectory&) = delete;
    TWorkingDirectory& operator=(const TWorkingDirectory&) = delete;

    bool IsValid() const { return FEntered; }
    QString path() const { return FDir.path(); }
    QString filePath(const QString& name) const { return FDir.filePath(name); }

  private:
    QString FOld;
    QTemporaryDir FDir;
    bool FEntered = false;
};
