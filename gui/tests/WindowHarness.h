#pragma once

#include "SettingsStore.h"
#include "app/MainWindow.h"
#include "dialogs/Prompter.h"
#include "platform/PosixFileSystem.h"

#include <QDialog>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace vantrel::gui::test {

/// Answers the window's questions from a queue of scripted answers, and
/// records every question. A question without an answer left fails the
/// test (and is answered with Cancel or No).
class PromptScript {
public:
    using Answer = std::function<int(const Prompt&)>;

    PromptScript() {
        Prompter::setHook([this](const Prompt& p) {
            asked.push_back(p.dialog != nullptr ? p.dialog->objectName() : p.text);
            if (answers_.empty()) {
                unexpected.push_back(asked.back());
                return p.dialog != nullptr || p.folder != nullptr ? int(QDialog::Rejected)
                                                                  : int(QMessageBox::No);
            }
            Answer a = std::move(answers_.front());
            answers_.pop_front();
            return a(p);
        });
    }
    ~PromptScript() { Prompter::setHook({}); }
    PromptScript(const PromptScript&) = delete;
    PromptScript& operator=(const PromptScript&) = delete;

    void answer(Answer a) { answers_.push_back(std::move(a)); }
    /// A message box answered with `button`.
    void button(QMessageBox::StandardButton b) {
        answer([b](const Prompt&) { return int(b); });
    }
    /// A dialog accepted or rejected, its check box named `box` set first.
    void dialog(bool accept, const char* box = nullptr, bool checked = true);
    [[nodiscard]] bool allUsed() const { return answers_.empty(); }

    QStringList asked;
    QStringList unexpected;

private:
    std::deque<Answer> answers_;
};

/// A window over a fresh temporary folder: its own settings file, journal
/// folder and runtime folder, and a folder "files" to list.
class WindowHarness {
public:
    WindowHarness();
    ~WindowHarness();

    /// Makes the window and runs its start-up with `argument`; waits for the first scan.
    bool start(const std::string& argument = {});
    /// Creates a file (with its folders) under the temporary folder.
    void file(const QString& relative, const QByteArray& content = {}) const;
    [[nodiscard]] QString path(const QString& relative) const;
    [[nodiscard]] bool exists(const QString& relative) const;
    /// Waits for the scan that runs to end.
    bool waitForScan();
    /// The text of a cell of the list.
    [[nodiscard]] QString cell(int row, int column) const;
    [[nodiscard]] int rows() const;
    /// A fresh view of the settings file.
    [[nodiscard]] std::unique_ptr<qtsupport::SettingsStore> settingsView() const;
    [[nodiscard]] QString settingsFile() const {
        return root_.filePath(QStringLiteral("vantrel.conf"));
    }
    /// Closes the window by its close command and destroys it.
    void closeAndDestroy();

    QTemporaryDir root_;
    PosixFileSystem fs;
    std::unique_ptr<qtsupport::SettingsStore> settings;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QSignalSpy> scans;
};

} // namespace vantrel::gui::test
