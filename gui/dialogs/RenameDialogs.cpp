#include "dialogs/RenameDialogs.h"

#include "dialogs/ContextHelp.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace vantrel::gui {
namespace {

/// The message panel on the text background: an icon, a heading and a body.
QFrame* messagePanel(QDialog* dialog, QStyle::StandardPixmap icon, QLabel* heading, QLabel* body) {
    auto* panel = new QFrame(dialog);
    panel->setObjectName(QStringLiteral("messagePanel"));
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // White in a light colour scheme; the scheme's text background in a dark one.
    panel->setBackgroundRole(QPalette::Base);
    panel->setAutoFillBackground(true);
    auto* grid = new QGridLayout(panel);
    auto* picture = new QLabel(panel);
    const int size = dialog->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    picture->setPixmap(dialog->style()->standardIcon(icon).pixmap(size, size));
    grid->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    int row = 0;
    for (QLabel* label : {heading, body}) {
        if (label == nullptr)
            continue;
        label->setParent(panel);
        label->setWordWrap(true);
        label->setForegroundRole(QPalette::Text);
        grid->addWidget(label, row++, 1);
    }
    grid->setColumnStretch(1, 1);
    return panel;
}

QFont faceOf(const QWidget* widget, int pointSize, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(std::max(pointSize, widget->font().pointSize()));
    font.setBold(bold);
    return font;
}

QCheckBox* showAgainBox(QDialog* dialog, const QString& text, int helpId, const char* name) {
    auto* box = new QCheckBox(text, dialog);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(true);
    setHelpId(box, helpId);
    return box;
}

void finish(QDialog* dialog, QFrame* panel, QCheckBox* box, bool cancel) {
    auto* buttons = new QDialogButtonBox(
        cancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(panel, 1);
    layout->addWidget(box);
    layout->addWidget(buttons);
    const QFontMetrics fm(dialog->font());
    dialog->setMinimumWidth(fm.averageCharWidth() * 60);
}

} // namespace

RenameWarningDialog::RenameWarningDialog(int count, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("renameWarningDialog"));
    setWindowTitle(QStringLiteral("Warning! Files will be renamed!"));
    auto* heading =
        new QLabel(QStringLiteral("You are about to rename %1 files and/or folders!").arg(count));
    heading->setObjectName(QStringLiteral("heading"));
    heading->setFont(faceOf(this, 12, true));
    QPalette red = heading->palette();
    red.setColor(QPalette::Text, QColor(255, 0, 0));
    heading->setPalette(red);
    auto* body = new QLabel(QStringLiteral(
        "Please double-check that the files and/or folders you have selected are correct, and "
        "that the new filenames are as you intended.\n\nThis is your last opportunity to "
        "cancel!"));
    body->setFont(faceOf(this, 10, false));
    QFrame* panel = messagePanel(this, QStyle::SP_MessageBoxWarning, heading, body);
    showAgain_ =
        showAgainBox(this, QStringLiteral("Show This Warning Again"), 1080, "showWarningAgain");
    finish(this, panel, showAgain_, true);
}

bool RenameWarningDialog::showAgain() const {
    return showAgain_->isChecked();
}

RenameCompleteDialog::RenameCompleteDialog(const QString& statistics, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("renameCompleteDialog"));
    setWindowTitle(QStringLiteral("Rename Operation Complete!"));
    auto* message = new QLabel(statistics);
    message->setObjectName(QStringLiteral("statistics"));
    message->setFont(faceOf(this, 10, false));
    QFrame* panel = messagePanel(this, QStyle::SP_MessageBoxInformation, message, nullptr);
    showAgain_ =
        showAgainBox(this, QStringLiteral("Show This Message Again"), 2023, "showMessageAgain");
    finish(this, panel, showAgain_, true);
}

bool RenameCompleteDialog::showAgain() const {
    return showAgain_->isChecked();
}

} // namespace vantrel::gui
