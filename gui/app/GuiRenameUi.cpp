#include "app/GuiRenameUi.h"

#include "dialogs/Prompter.h"
#include "dialogs/RenameDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>

namespace vantrel::gui {
namespace {

QString toQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

GuiRenameUi::GuiRenameUi(QWidget* window, std::function<void()> focusNewLocation)
    : window_(window), focusNewLocation_(std::move(focusNewLocation)) {}

GuiRenameUi::~GuiRenameUi() {
    waitCursor(false);
}

void GuiRenameUi::waitCursor(bool on) {
    if (on == waiting_)
        return;
    waiting_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool GuiRenameUi::confirmRename(std::int32_t count, Preferences& preferences) {
    RenameWarningDialog dialog(count, window_);
    if (Prompter::exec(dialog) != QDialog::Accepted)
        return false;
    preferences.displayWarningMessage = dialog.showAgain() ? 1 : 0;
    return true;
}

void GuiRenameUi::showError(const std::string& text) {
    const bool waiting = waiting_;
    waitCursor(false);
    Prompter::message(window_, QMessageBox::Warning, toQString(text), QMessageBox::Ok);
    waitCursor(waiting);
}

bool GuiRenameUi::skipFailedItem(const std::string& text, const ItemFailure&) {
    const bool waiting = waiting_;
    waitCursor(false);
    const auto answer = Prompter::message(window_, QMessageBox::Warning, toQString(text),
                                          QMessageBox::Yes | QMessageBox::No);
    waitCursor(waiting);
    return answer == QMessageBox::Yes;
}

bool GuiRenameUi::reverseAfterStop() {
    const bool waiting = waiting_;
    waitCursor(false);
    const auto answer =
        Prompter::message(window_, QMessageBox::NoIcon, toQString(std::string(kReverseQuestion)),
                          QMessageBox::Yes | QMessageBox::No);
    waitCursor(waiting);
    return answer == QMessageBox::Yes;
}

void GuiRenameUi::renameComplete(const std::string& statistics, Preferences& preferences) {
    waitCursor(false);
    RenameCompleteDialog dialog(toQString(statistics), window_);
    if (Prompter::exec(dialog) == QDialog::Accepted)
        preferences.displayConfirmationMessage = dialog.showAgain() ? 1 : 0;
}

void GuiRenameUi::focusNewLocation() {
    if (focusNewLocation_)
        focusNewLocation_();
}

void GuiRenameUi::batchStarted(std::int32_t) {
    waitCursor(true);
    sincePaint_.start();
}

void GuiRenameUi::itemDone(std::int32_t, std::int32_t) {
    // About twenty paints a second: the status text shows the progress.
    if (sincePaint_.elapsed() >= 50)
        keepPainted();
}

void GuiRenameUi::batchFinished() {
    keepPainted();
}

void GuiRenameUi::keepPainted() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sincePaint_.restart();
}

} // namespace vantrel::gui
