// The file the window is started with ("twinseek FILE"): its arguments, how the file is told to
// be a result list or a configuration file, and what the window shows for each.

#include "StartupFile.h"
#include "ConfigFile.h"
#include "Desktop.h"
#include "FileListModel.h"
#include "IoError.h"
#include "SettingsFile.h"
#include "WindowTestPlace.h"
#include "frmTwinseek.h"

#include <QFile>
#include <QtTest>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TStartupArguments Parse(const QStringList& arguments) {
    std::vector<QByteArray> bytes{"twinseek"};
    for (const QString& argument : arguments)
        bytes.push_back(argument.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& argument : bytes)
        argv.push_back(argument.constData());
    return ParseStartupArguments(static_cast<int>(argv.size()), argv.data());
}

// Two names of two copies each, saved as a result list by a window.
void SaveSampleList(const QString& fileName) {
    TfrmTwinseek window;
    TScanResult result;
    result.FilesRead = 9;
    for (const char* name : {"a.txt", "b.txt"}) {
        auto group = std::make_unique<TFileGroup>();
        for (const char* folder : {"/x/", "/y/"}) {
            TFileInfoRec info = FileInfoForPath(std::string(folder) + name);
            info.Size = 3;
            group->Add(std::move(info));
        }
        result.Rows.push_back({name, std::move(group)});
    }
    window.ShowResult(std::move(result));
    window.SaveResultList(fileName);
}

} // namespace

class StartupFileTest : public QObject {
    Q_OBJECT

    std::optional<TWindowTestPlace> FPlace;

    QString WorkPath(const QString& name) const { return FPlace->WorkDir.filePath(name); }

  private slots:
    void init() {
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
    }

    void cleanup() { FPlace.reset(); }

    void arguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("none") << QStringList{} << ""
                              << "";
        QTest::newRow("a file") << QStringList{"/home/me/a b.twl"} << "/home/me/a b.twl"
                                << "";
        QTest::newRow("a name after --") << QStringList{"--", "-x.twl"} << "-x.twl"
                                         << "";
        QTest::newRow("\"-\" is a name") << QStringList{"-"} << "-"
                                         << "";
        QTest::newRow("an unknown option") << QStringList{"--frobnicate", "a.twc"} << "a.twc"
                                           << "twinseek: unknown option --frobnicate\n";
        QTest::newRow("two files: the first")
            << QStringList{"a.twl", "b.twl"} << "a.twl"
            << "twinseek: only one file is opened; b.twl is left out\n";
    }

    void arguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QFETCH(QString, complaint);
        const TStartupArguments parsed = Parse(arguments);
        QCOMPARE(QString::fromStdString(parsed.File), file);
        QCOMPARE(QString::fromStdString(parsed.Complaint), complaint);
    }

    void fileKind_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("config");
        const QByteArray list = "Twinseek saved result version 1.3\r\n";
        QTest::newRow("list by its first line, any name") << "saved.dat" << list << false;
        QTest::newRow("configuration by its name")
            << "work.twc" << QByteArray("[Options]\nVersion=3\n") << true;
        QTest::newRow("a list named .twc is a list") << "odd.twc" << list << false;
        QTest::newRow("anything else: a list that is refused")
            << "notes.txt" << QByteArray("hello\n") << false;
        QTest::newRow("a missing .twc") << "" << QByteArray() << true;
        // A pipe is never opened to wait for a writer; it is judged by its name alone.
        QTest::newRow("a pipe named .twc") << "pipe.twc" << QByteArray("fifo") << true;
        QTest::newRow("a pipe named .twl") << "pipe.twl" << QByteArray("fifo") << false;
    }

    void fileKind() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, config);
        const QString path = name.isEmpty() ? WorkPath("missing.twc") : WorkPath(name);
        if (content == "fifo")
            QCOMPARE(mkfifo(EncodedName(path).c_str(), 0600), 0);
        else if (!name.isEmpty())
            QVERIFY(WriteFile(path, content));
        QCOMPARE(StartupFileKind(EncodedName(path)) == TStartupFileKind::Config, config);
    }

    // A result list is shown as File > Open shows it; its title is the plain one.
    void opensAResultList() {
        SaveSampleList(WorkPath("saved.twl"));
        TfrmTwinseek window;
        window.SetConfigFileName("/home/me/work.twc");
        OpenStartupFile(window, "saved.twl"); // relative to the working directory
        QCOMPARE(window.FileList().rowCount(), 2);
        QCOMPARE(window.FilesRead(), 9);
        QCOMPARE(window.windowTitle(), QString("Twin Seek"));
        QVERIFY(FPlace->Desktop.Messages.isEmpty() && FPlace->Desktop.Errors.isEmpty());
    }

    // A configuration file gives the options and becomes the window's configuration file, also
    // in the settings file.
    void opensAConfigFile() {
        TOptionRec options;
        options.ScanPath = "/srv/a;/srv/b";
        options.FileTypes = "*.jpg";
        options.CompareMode = 2;
        options.CaseSensitive = true;
        SaveConfigFile(EncodedName(WorkPath("work.twc")), options);
        {
            TfrmTwinseek window;
            OpenStartupFile(window, "work.twc");
            QCOMPARE(window.Options().ScanPath, options.ScanPath);
            QCOMPARE(window.Options().FileTypes, options.FileTypes);
            QCOMPARE(window.Options().CompareMode, 2);
            QVERIFY(window.Options().CaseSensitive);
            QCOMPARE(window.ConfigFileName(), WorkPath("work.twc"));
            QCOMPARE(window.windowTitle(), QString("Twin Seek [work.twc]"));
        }
        QCOMPARE(QString::fromStdString(ReadSettingsConfigFileName()), WorkPath("work.twc"));
        QVERIFY(FPlace->Desktop.Messages.isEmpty() && FPlace->Desktop.Errors.isEmpty());
    }

    // Files that cannot be used are reported as File > Open and Open config report them.
    void unusableFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // none: the file does not exist
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("error"); // thrown, for the error report
        QTest::newRow("missing list") << "gone.twl" << QByteArray() << ""
                                      << "Cannot open file %1: File not found";
        QTest::newRow("not a list")
            << "notes.txt" << QByteArray("hello\n") << "File has not the right file indicator."
            << "";
        QTest::newRow("configuration of another version")
            << "old.twc" << QByteArray("[Options]\nVersion=2\nScanPath=/srv\n")
            << "%1 is not a Twinseek configuration file (version 3 expected)."
            << "";
        QTest::newRow("missing configuration") << "gone.twc" << QByteArray() << "%1 does not exist."
                                               << "";
    }

    void unusableFiles() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFETCH(QString, error);
        const QString path = WorkPath(name);
        if (!content.isEmpty())
            QVERIFY(WriteFile(path, content));
        TfrmTwinseek window;
        QString thrown;
        try {
            OpenStartupFile(window, EncodedName(path));
        } catch (const std::exception& failure) {
            thrown = failure.what();
        }
        QCOMPARE(thrown, error.isEmpty() ? QString() : error.arg(path));
        QCOMPARE(FPlace->Desktop.Messages,
                 message.isEmpty() ? QStringList() : QStringList{message.arg(path)});
        if (name.endsWith(".twc")) {
            // As in the options dialog: the options are empty, the file is named.
            QCOMPARE(window.Options().ScanPath, std::string());
            QCOMPARE(window.ConfigFileName(), path);
        }
    }
};

QTEST_MAIN(StartupFileTest)
#include "StartupFileTest.moc"
