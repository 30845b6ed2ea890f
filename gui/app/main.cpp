#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrel"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("<Vantrel>"));
    window.show();
    return QApplication::exec();
}
