#include "dialogs/Prompter.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>

namespace vantrel::gui {
namespace {

Prompter::Hook& hook() {
    static Prompter::Hook h;
    return h;
}

} // namespace

QMessageBox::StandardButton Prompter::message(QWidget* parent, QMessageBox::Icon icon,
                                              const QString& text,
                                              QMessageBox::StandardButtons buttons) {
    if (hook()) {
        Prompt prompt;
        prompt.text = text;
        prompt.icon = icon;
        prompt.buttons = buttons;
        return static_cast<QMessageBox::StandardButton>(hook()(prompt));
    }
    QMessageBox box(icon, QCoreApplication::applicationName(), text, buttons, parent);
    box.setObjectName(QStringLiteral("messageBox"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int Prompter::exec(QDialog& dialog) {
    if (hook()) {
        Prompt prompt;
        prompt.dialog = &dialog;
        const int result = hook()(prompt);
        // The dialog's own OK handling stores its controls; a test answer
        // goes through the same path.
        if (result == QDialog::Accepted)
            dialog.accept();
        else
            dialog.reject();
        return result;
    }
    return dialog.exec();
}

QString Prompter::chooseFolder(QWidget* parent, const QString& title, const QString& start) {
    if (hook()) {
        Prompt prompt;
        prompt.text = title;
        QString answer = start;
        prompt.folder = &answer;
        return hook()(prompt) == QDialog::Accepted ? answer : QString();
    }
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

QString Prompter::chooseFavourite(QWidget* parent, bool save, const QString& start) {
    if (hook()) {
        Prompt prompt;
        prompt.text = save ? QStringLiteral("save") : QStringLiteral("open");
        QString answer = start;
        prompt.file = &answer;
        return hook()(prompt) == QDialog::Accepted ? answer : QString();
    }
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("favouriteFileDialog"));
    dialog.setNameFilter(QStringLiteral("Vantrel Favourites (*.vtl)"));
    dialog.setDefaultSuffix(QStringLiteral("vtl"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!start.isEmpty())
        dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QColor Prompter::chooseColour(QWidget* parent, const QColor& start) {
    if (hook()) {
        Prompt prompt;
        prompt.text = QStringLiteral("colour");
        QColor answer = start;
        prompt.colour = &answer;
        return hook()(prompt) == QDialog::Accepted ? answer : QColor();
    }
    return QColorDialog::getColor(start, parent);
}

void Prompter::setHook(Hook h) {
    hook() = std::move(h);
}

bool Prompter::hooked() {
    return static_cast<bool>(hook());
}

} // namespace vantrel::gui
