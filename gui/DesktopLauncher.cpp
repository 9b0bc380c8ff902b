#include "DesktopLauncher.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Standard error of a launch is kept this long at most for the message.
constexpr qint64 ShownErrorBytes = 2000;

int pending = 0;

QString StartFailure(const QString& program, const QString& errorText) {
    if (QStandardPaths::findExecutable(program).isEmpty())
        return QStringLiteral("%1 was not found; no desktop program is there to open it.")
            .arg(program);
    return QStringLiteral("%1 could not be started: %2").arg(program, errorText);
}

// What the program said on standard error, else how it ended.
QString EndFailure(const QString& program, QProcess& process, QFile* errors) {
    QString said;
    if (errors != nullptr && errors->open(QIODevice::ReadOnly))
        said = QString::fromLocal8Bit(errors->read(ShownErrorBytes)).trimmed();
    if (!said.isEmpty())
        return said;
    if (process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("%1 ended abnormally.").arg(program);
    return QStringLiteral("%1 ended with exit code %2.").arg(program).arg(process.exitCode());
}

} // namespace

int PendingDesktopPrograms() {
    return pending;
}

TPendingDesktopRequest::TPendingDesktopRequest() {
    ++pending;
}

TPendingDesktopRequest::~TPendingDesktopRequest() {
    --pending;
}

void LaunchDesktopProgram(const QStringList& command, bool exitTells,
                          const std::function<void(const QString& reason)>& failed) {
    if (command.isEmpty())
        return;
    const QString program = command.first();
    if (!exitTells) {
        QProcess process;
        process.setProgram(program);
        process.setArguments(command.mid(1));
        process.setStandardOutputFile(QProcess::nullDevice());
        if (!process.startDetached())
            failed(StartFailure(program, process.errorString()));
        return;
    }
    // Not parented: a process still running when the program ends is left running, not killed.
    auto* process = new QProcess();
    ++pending;
    QObject::connect(process, &QObject::destroyed, [] { --pending; });
    process->setProgram(program);
    process->setArguments(command.mid(1));
    process->setStandardOutputFile(QProcess::nullDevice());
    // Standard error goes to a file rather than a pipe, so that a program outliving this one
    // never writes into a closed pipe.
    auto* errors = new QTemporaryFile(process);
    if (errors->open()) {
        process->setStandardErrorFile(errors->fileName());
        errors->close();
    } else {
        process->setStandardErrorFile(QProcess::nullDevice());
        errors = nullptr;
    }
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, program, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         failed(StartFailure(program, process->errorString()));
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, program, errors, failed](int exitCode, QProcess::ExitStatus status) {
                         if (exitCode != 0 || status != QProcess::NormalExit)
                             failed(EndFailure(program, *process, errors));
                         process->deleteLater();
                     });
    process->start();
}
