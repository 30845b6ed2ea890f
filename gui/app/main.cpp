// The desktop application: one copy per user, one window.
#include "SettingsStore.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "dialogs/ContextHelp.h"
#include "platform/PosixFileSystem.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrel"));
    QApplication::setOrganizationName(QStringLiteral("Olvesco"));

    // A second copy shows the first and ends, having read and written nothing.
    vantrel::gui::SingleInstance instance(QStringLiteral("vantrel"));
    if (!instance.claim())
        return 0;

    // The whole text after the program's name is the one argument.
    QStringList words = QApplication::arguments();
    words.removeFirst();
    const std::string argument = words.join(QLatin1Char(' ')).toStdString();

    vantrel::gui::ContextHelpFilter help;
    app.installEventFilter(&help);
    vantrel::PosixFileSystem fs;
    vantrel::qtsupport::SettingsStore settings;
    vantrel::gui::MainWindow window(settings, fs);
    QObject::connect(&instance, &vantrel::gui::SingleInstance::activationRequested, &window,
                     &vantrel::gui::MainWindow::bringToFront);
    window.initialise(argument);
    window.showAsPlaced();
    // Once the window shows: an interrupted batch first, then the tip.
    QTimer::singleShot(0, &window, &vantrel::gui::MainWindow::offerToReverseInterruptedBatch);
    QTimer::singleShot(0, &window, &vantrel::gui::MainWindow::tipAtStartUp);
    return QApplication::exec();
}
