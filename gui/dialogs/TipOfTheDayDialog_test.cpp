#include "GuiTest.h"

#include "dialogs/Prompter.h"
#include "dialogs/TipOfTheDayDialog.h"
#include "platform/PosixFileSystem.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using vantrel::PosixFileSystem;
using vantrel::gui::Prompt;
using vantrel::gui::Prompter;
using vantrel::gui::TipOfTheDayDialog;
using vantrel::qtsupport::SettingsStore;

namespace {

/// A tips file and a settings file in a temporary folder.
struct Fixture {
    Fixture() : tips(folder.filePath(QStringLiteral("Tips.txt"))) { reopenSettings(); }

    /// Writes the tips file anew (a new file, as a replacement is), with
    /// its modification time moved by `hours` so that its time stamp differs.
    void writeTips(const QByteArray& text, int hours = 0) {
        QFile::remove(tips);
        QFile file(tips);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(text), text.size());
        QVERIFY(file.flush()); // a later write would set the time anew
        if (hours != 0)
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(hours * 3600),
                                     QFileDevice::FileModificationTime));
    }
    /// The settings as the next start of the program reads them.
    void reopenSettings() {
        settings.reset();
        settings = std::make_unique<SettingsStore>(std::make_unique<QSettings>(
            folder.filePath(QStringLiteral("settings.conf")), QSettings::IniFormat));
    }
    std::unique_ptr<TipOfTheDayDialog> dialog() {
        return std::make_unique<TipOfTheDayDialog>(*settings, fs, nullptr, tips);
    }

    QTemporaryDir folder;
    QString tips;
    PosixFileSystem fs;
    std::unique_ptr<SettingsStore> settings;
};

void next(TipOfTheDayDialog& d) {
    d.findChild<QPushButton*>(QStringLiteral("nextTip"))->click();
}

QCheckBox* startUpBox(TipOfTheDayDialog& d) {
    return d.findChild<QCheckBox*>(QStringLiteral("showTipsOnStartUp"));
}

} // namespace

class TipOfTheDayDialogTest : public QObject {
    Q_OBJECT
private slots:
    void walksThroughTheFileAcrossShowings() {
        Fixture f;
        f.writeTips("; comment\n\nTip A\n an indented line\nTip B\nTip C\n");
        {
            auto d = f.dialog();
            QCOMPARE(d->objectName(), QStringLiteral("tipOfTheDayDialog"));
            QCOMPARE(d->windowTitle(), QStringLiteral("Tip of the Day"));
            QCOMPARE(d->tipText(), QStringLiteral("Tip A"));
            next(*d);
            QCOMPARE(d->tipText(), QStringLiteral("Tip B"));
        }
        // The next showing, also after a restart, goes on after the last tip shown.
        f.reopenSettings();
        {
            auto d = f.dialog();
            QCOMPARE(d->tipText(), QStringLiteral("Tip C"));
            next(*d);
            QCOMPARE(d->tipText(), QStringLiteral("Tip A")); // round to the start
        }
        f.reopenSettings();
        QCOMPARE(f.dialog()->tipText(), QStringLiteral("Tip B"));
    }

    void restartsWhenTheFileIsReplaced() {
        Fixture f;
        f.writeTips("Tip A\nTip B\nTip C\n");
        {
            auto d = f.dialog();
            next(*d);
            QCOMPARE(d->tipText(), QStringLiteral("Tip B"));
        }
        const auto stamp = f.settings->readText("Tip", "TimeStamp");
        QVERIFY(stamp.has_value() && !stamp->empty());
        // Read on from the old position, the new file would give New Z.
        f.writeTips("New X\nNew Y\nNew Z\n", 1);
        f.reopenSettings();
        QCOMPARE(f.dialog()->tipText(), QStringLiteral("New X"));
        QVERIFY(f.settings->readText("Tip", "TimeStamp") != stamp);
        // The new stamp is kept: the showing after that goes on in the new file.
        f.reopenSettings();
        QCOMPARE(f.dialog()->tipText(), QStringLiteral("New Y"));
    }

    void onlyCloseStoresTheStartUpBox() {
        Fixture f;
        f.writeTips("Tip A\nTip B\n");
        QVERIFY(vantrel::gui::tipWantedAtStartUp(*f.settings));
        {
            auto d = f.dialog();
            QVERIFY(startUpBox(*d)->isChecked());
            startUpBox(*d)->setChecked(false);
            d->reject(); // Escape or the caption's close button
        }
        QVERIFY(vantrel::gui::tipWantedAtStartUp(*f.settings));
        {
            auto d = f.dialog();
            startUpBox(*d)->setChecked(false);
            // Reading on does not undo what the user just unticked.
            next(*d);
            QVERIFY(!startUpBox(*d)->isChecked());
            d->findChild<QPushButton*>(QStringLiteral("close"))->click();
        }
        QVERIFY(!vantrel::gui::tipWantedAtStartUp(*f.settings));
        QVERIFY(!startUpBox(*f.dialog())->isChecked());

        // As the menu runs it: through the Prompter, on the program's own tips file.
        QString shown;
        Prompter::setHook([&shown](const Prompt& p) {
            auto* d = qobject_cast<TipOfTheDayDialog*>(p.dialog);
            shown = d->tipText();
            startUpBox(*d)->setChecked(true);
            return int(QDialog::Accepted);
        });
        vantrel::gui::showTipOfTheDay(*f.settings, f.fs, nullptr);
        Prompter::setHook({});
        QVERIFY(!shown.isEmpty() && shown != QLatin1String(vantrel::gui::kTipsMissingText));
        QVERIFY(vantrel::gui::tipWantedAtStartUp(*f.settings));
    }

    void aMissingFileTouchesNothingAnUnreachablePositionIsReported() {
        Fixture f;
        f.settings->writeInt("Tip", "FilePos", 7);
        f.settings->writeText("Tip", "TimeStamp", "stored");
        {
            auto d = f.dialog();
            QCOMPARE(d->tipText(), QLatin1String(vantrel::gui::kTipsMissingText));
            QVERIFY(!d->findChild<QPushButton*>(QStringLiteral("nextTip"))->isEnabled());
        }
        QCOMPARE(f.settings->readInt("Tip", "FilePos", 0), 7);
        QCOMPARE(f.settings->readText("Tip", "TimeStamp"), std::optional<std::string>("stored"));

        // A position before the start (a damaged setting) of the same file.
        f.writeTips("Tip A\n");
        {
            auto d = f.dialog(); // takes the new file's stamp, reads from 0
            QCOMPARE(d->tipText(), QStringLiteral("Tip A"));
        }
        f.settings->writeInt("Tip", "FilePos", -3);
        QStringList asked;
        Prompter::setHook([&asked](const Prompt& p) {
            asked << p.text;
            return int(QMessageBox::Ok);
        });
        {
            auto d = f.dialog();
            QCOMPARE(d->tipText(), QString());
            // Next Tip reads on from the start.
            next(*d);
            QCOMPARE(d->tipText(), QStringLiteral("Tip A"));
        }
        Prompter::setHook({});
        QCOMPARE(asked, QStringList{QLatin1String(vantrel::gui::kTipsTroubleText)});
        QCOMPARE(f.settings->readInt("Tip", "FilePos", -1), 6);
    }
};

VANTREL_GUI_TEST(TipOfTheDayDialogTest)
#include "TipOfTheDayDialog_test.moc"
