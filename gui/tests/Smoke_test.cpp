#include "GuiTest.h"

#include <QTest>

// Keeps the test program honest while the window's own tests are written.
class SmokeTest : public QObject {
    Q_OBJECT
private slots:
    void runsOffscreen() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen")); }
};

VANTREL_GUI_TEST(SmokeTest)
#include "Smoke_test.moc"
