#include "dialogs/SmallDialogs.h"

#include "dialogs/ContextHelp.h"
#include "dialogs/Prompter.h"
#include "layout/DialogUnits.h"
#include "workspace/ProductInfo.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace vantrel::gui {
namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// OK and Cancel stacked at the right, as the small dialogs have them.
QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

/// The whole text selected and the focus in the box, once the dialog shows.
void focusAll(QLineEdit* edit) {
    edit->setFocus();
    edit->selectAll();
}

} // namespace

JumpToPathDialog::JumpToPathDialog(const QString& path, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(path, this)), path_(path) {
    setObjectName(QStringLiteral("jumpToPathDialog"));
    setWindowTitle(QStringLiteral("Jump Directly to Path"));
    edit_->setObjectName(QStringLiteral("jumpPath"));
    setHelpId(edit_, 2022);
    auto* label = new QLabel(QStringLiteral("Path"), this);
    label->setBuddy(edit_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit_, 1);
    layout->addWidget(okCancel(this));
    const DialogUnits du(font());
    setMinimumWidth(du.x(285));
    focusAll(edit_);
}

QString JumpToPathDialog::expanded(const QString& text) {
    if (text == QLatin1String("~"))
        return QDir::homePath();
    if (text.startsWith(QLatin1String("~/")))
        return QDir::homePath() + text.mid(1);
    return text;
}

QString JumpToPathDialog::refusal(const QString& text) {
    const QFileInfo info(expanded(text));
    // Only absolute paths: the tree has nothing to find a relative one from.
    if (text.isEmpty() || !info.isAbsolute() || !info.isDir())
        return QStringLiteral("Path does not exist.");
    return {};
}

void JumpToPathDialog::accept() {
    const QString text = edit_->text();
    const QString message = refusal(text);
    if (!message.isEmpty()) {
        Prompter::message(this, QMessageBox::Warning, message, QMessageBox::Ok);
        return; // the dialog stays open
    }
    path_ = expanded(text);
    QDialog::accept();
}

ZoomTextDialog::ZoomTextDialog(const QString& text, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(text, this)) {
    setObjectName(QStringLiteral("zoomTextDialog"));
    setWindowTitle(QStringLiteral("Zoom Text"));
    edit_->setObjectName(QStringLiteral("zoomText"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(std::max(10, font().pointSize() + 2));
    edit_->setFont(arial);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(edit_, 1);
    layout->addWidget(okCancel(this));
    const DialogUnits du(font());
    setMinimumWidth(du.x(462));
    focusAll(edit_);
}

QString ZoomTextDialog::text() const {
    return edit_->text();
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    const ProductInfo& info = productInfo();
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About ") + toQString(info.name));
    auto* icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    icon->setPixmap(windowIcon().pixmap(side, side));
    const auto text = [this](std::string_view s, const char* name) {
        auto* label = new QLabel(toQString(s), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        return label;
    };
    QLabel* comments = text(info.comments, "comments");
    comments->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    comments->setMargin(4);
    auto* link = new QPushButton(
        QStringLiteral("Visit the ") + toQString(info.name) + QStringLiteral(" Homepage"), this);
    link->setObjectName(QStringLiteral("homePageLink"));
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    QPalette blue = link->palette();
    blue.setColor(QPalette::ButtonText, QColor(0, 0, 238));
    link->setPalette(blue);
    connect(link, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(toQString(productInfo().homePage))); });
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(text(info.name, "productName"), 0, 1, 1, 2);
    grid->addWidget(text(info.version, "productVersion"), 1, 1, 1, 2);
    grid->addWidget(text(info.copyright, "copyright"), 2, 1, 1, 2);
    grid->addWidget(comments, 3, 1, 1, 2);
    grid->addWidget(link, 4, 1);
    grid->addWidget(ok, 4, 2);
    const DialogUnits du(font());
    setMinimumWidth(du.x(281));
}

} // namespace vantrel::gui
