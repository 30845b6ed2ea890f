#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace vantrel::gui {

/// One question or dialog the window is about to show.
struct Prompt {
    QString text; ///< the message (empty for a dialog)
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QDialog* dialog = nullptr; ///< set when a dialog of the program's own is run
    /// Set when a folder or file is to be chosen: the starting path, and
    /// where the answer goes (with QDialog::Accepted).
    QString* folder = nullptr;
    QString* file = nullptr;
    /// Set when a colour is to be chosen: the starting colour and the answer.
    QColor* colour = nullptr;
};

/// Every message box and modal dialog of the program is shown through
/// here, so that tests can answer them instead of a person. Without a hook
/// the real box or dialog is shown.
class Prompter {
public:
    /// Answers a prompt: for a message box the button pressed, for a dialog
    /// QDialog::Accepted or QDialog::Rejected (the hook may set its controls).
    using Hook = std::function<int(const Prompt&)>;

    /// Shows a message box captioned with the application's name.
    static QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon,
                                               const QString& text,
                                               QMessageBox::StandardButtons buttons);
    /// Runs a dialog modally; its result.
    static int exec(QDialog& dialog);
    /// Asks for a folder (file-system folders only); empty when cancelled.
    static QString chooseFolder(QWidget* parent, const QString& title, const QString& start);
    /// Asks for a favourites file to open (it must exist) or to save to (an
    /// existing one is replaced only after asking); empty when cancelled.
    static QString chooseFavourite(QWidget* parent, bool save, const QString& start);
    /// Asks for a colour, starting from `start`; invalid when cancelled.
    static QColor chooseColour(QWidget* parent, const QColor& start);

    /// Installs (or with an empty function removes) the test hook.
    static void setHook(Hook hook);
    [[nodiscard]] static bool hooked();
};

} // namespace vantrel::gui
