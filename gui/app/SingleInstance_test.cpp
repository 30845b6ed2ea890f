#include "GuiTest.h"

#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using vantrel::gui::SingleInstance;

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir runtime_;

private slots:
    void init() {
        QFile::setPermissions(runtime_.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
    }

    void aSecondCopyAsksTheFirstToShowItself() {
        SingleInstance first(QStringLiteral("vantrel-test"));
        QVERIFY(first.claim());
        QSignalSpy shown(&first, &SingleInstance::activationRequested);
        {
            SingleInstance second(QStringLiteral("vantrel-test"));
            QVERIFY(!second.claim());
        }
        QVERIFY(shown.wait(5000));
        QCOMPARE(shown.count(), 1);
    }

    void aCrashedCopyDoesNotBlockTheStart() {
        // A lock and a socket left behind by a process that no longer runs.
        const QString base =
            runtime_.path() + QStringLiteral("/vantrel-test-") + QString::number(::getuid());
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile lock(base + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(pid) + "\nvantrel\n" + QSysInfo::machineHostName().toUtf8() +
                   "\n");
        lock.close();
        QFile socket(base + QStringLiteral(".socket"));
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();
        SingleInstance instance(QStringLiteral("vantrel-test"));
        QVERIFY(instance.claim());
    }

    void theProgramsSecondStartWritesNothing() {
        QTemporaryDir config;
        // No tip at start-up: the first copy then writes nothing until it closes.
        QDir().mkpath(config.path() + QStringLiteral("/Olvesco"));
        const QString conf = config.path() + QStringLiteral("/Olvesco/vantrel.conf");
        QFile seed(conf);
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("[Tip]\nStartUp=0\n");
        seed.close();
        QStringList env = QProcess::systemEnvironment();
        env << QStringLiteral("XDG_CONFIG_HOME=") + config.path()
            << QStringLiteral("XDG_STATE_HOME=") + config.path()
            << QStringLiteral("HOME=") + config.path()
            << QStringLiteral("QT_QPA_PLATFORM=offscreen");
        QProcess first;
        first.setEnvironment(env);
        first.start(QStringLiteral(VANTREL_GUI_PROGRAM), {config.path()});
        QVERIFY(first.waitForStarted());
        const QString socket = runtime_.path() + QStringLiteral("/vantrel-") +
                               QString::number(::getuid()) + QStringLiteral(".socket");
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000));
        QProcess second;
        second.setEnvironment(env);
        second.start(QStringLiteral(VANTREL_GUI_PROGRAM), {config.path()});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(first.state() == QProcess::Running);
        QFile after(conf);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), QByteArray("[Tip]\nStartUp=0\n"));
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }
};

VANTREL_GUI_TEST(SingleInstanceTest)
#include "SingleInstance_test.moc"
