#include "dialogs/TipOfTheDayDialog.h"

#include "dialogs/ContextHelp.h"
#include "dialogs/Prompter.h"
#include "help/ProgramData.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace vantrel::gui {
namespace {

constexpr std::string_view kSection = "Tip";

/// A light bulb, drawn rather than shipped as a picture, at `size` pixels.
QPixmap lightBulb(int size, qreal ratio) {
    QPixmap pixmap(static_cast<int>(size * ratio), static_cast<int>(size * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath glass;
    glass.addEllipse(QRectF(s * 0.2, s * 0.05, s * 0.6, s * 0.6));
    glass.addRect(QRectF(s * 0.36, s * 0.5, s * 0.28, s * 0.22));
    p.setPen(QPen(QColor(150, 120, 0), s / 32));
    p.setBrush(QColor(255, 228, 90));
    p.drawPath(glass.simplified());
    p.setPen(QPen(QColor(80, 80, 80), s / 32));
    p.setBrush(QColor(170, 170, 170));
    p.drawRoundedRect(QRectF(s * 0.35, s * 0.72, s * 0.3, s * 0.18), s / 20, s / 20);
    p.drawLine(QPointF(s * 0.35, s * 0.78), QPointF(s * 0.65, s * 0.78));
    p.drawLine(QPointF(s * 0.35, s * 0.84), QPointF(s * 0.65, s * 0.84));
    return pixmap;
}

/// The tip as shown: without the line end it was read with.
QString shownText(const std::string& tip) {
    std::string_view text = tip;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

bool tipWantedAtStartUp(const qtsupport::SettingsStore& settings) {
    return settings.readInt(kSection, "StartUp", 1) != 0;
}

QString TipOfTheDayDialog::defaultTipsPath() {
    return programDataFile(QLatin1String(kTipsFileName));
}

TipOfTheDayDialog::TipOfTheDayDialog(qtsupport::SettingsStore& settings, FileSystem& fs,
                                     QWidget* parent, const QString& tipsPath)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("tipOfTheDayDialog"));
    setWindowTitle(QStringLiteral("Tip of the Day"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("tipPanel"));
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // White in a light colour scheme; the scheme's text background in a dark one.
    panel->setBackgroundRole(QPalette::Base);
    panel->setAutoFillBackground(true);
    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("tipPicture"));
    picture->setBackgroundRole(QPalette::Dark);
    picture->setAutoFillBackground(true);
    picture->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    picture->setMargin(8);
    picture->setPixmap(lightBulb(32, devicePixelRatioF()));
    auto* heading = new QLabel(QStringLiteral("Did You Know?..."), panel);
    heading->setObjectName(QStringLiteral("tipHeading"));
    QFont headingFont(QStringLiteral("Arial"));
    headingFont.setPointSize(std::max(14, font().pointSize() + 4));
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setForegroundRole(QPalette::Text);
    tip_ = new QLabel(panel);
    tip_->setObjectName(QStringLiteral("tipText"));
    tip_->setTextFormat(Qt::PlainText);
    tip_->setWordWrap(true);
    tip_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tip_->setForegroundRole(QPalette::Text);
    auto* text = new QVBoxLayout;
    text->setContentsMargins(12, 12, 12, 12);
    text->setSpacing(12);
    text->addWidget(heading);
    text->addWidget(tip_, 1);
    auto* inside = new QHBoxLayout(panel);
    inside->setContentsMargins(0, 0, 0, 0);
    inside->addWidget(picture);
    inside->addLayout(text, 1);

    startUp_ = new QCheckBox(QStringLiteral("&Show Tips on StartUp"), this);
    startUp_->setObjectName(QStringLiteral("showTipsOnStartUp"));
    setHelpId(startUp_, 1106);
    nextTip_ = new QPushButton(QStringLiteral("&Next Tip"), this);
    nextTip_->setObjectName(QStringLiteral("nextTip"));
    nextTip_->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);
    connect(nextTip_, &QPushButton::clicked, this, &TipOfTheDayDialog::showNextTip);
    connect(close, &QPushButton::clicked, this, &TipOfTheDayDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startUp_);
    buttons->addStretch(1);
    buttons->addWidget(nextTip_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);
    const QFontMetrics fm(font());
    setMinimumSize(fm.averageCharWidth() * 70, fm.height() * 14);

    startUp_->setChecked(tipWantedAtStartUp(settings_));
    const std::int32_t position = settings_.readInt(kSection, "FilePos", 0);
    if (tipsPath.isEmpty() || !TipsFile::open(fs, tipsPath.toStdString(), file_).ok()) {
        // No file: nothing of the stored position or time stamp is touched.
        tip_->setText(QLatin1String(kTipsMissingText));
        nextTip_->setEnabled(false);
        return;
    }
    const std::string stored = settings_.readText(kSection, "TimeStamp").value_or(std::string());
    switch (file_->start(position, stored)) {
    case TipStart::Restarted:
        settings_.writeText(kSection, "TimeStamp", file_->timeStamp());
        showNextTip();
        break;
    case TipStart::Unreachable:
        reportTrouble();
        break;
    case TipStart::Resumed:
        showNextTip();
        break;
    }
}

TipOfTheDayDialog::~TipOfTheDayDialog() {
    if (file_) {
        const std::int64_t position = file_->position();
        settings_.writeInt(kSection, "FilePos",
                           position > INT32_MAX ? 0 : static_cast<std::int32_t>(position));
    }
}

QString TipOfTheDayDialog::tipText() const {
    return tip_->text();
}

void TipOfTheDayDialog::accept() {
    settings_.writeInt(kSection, "StartUp", startUp_->isChecked() ? 1 : 0);
    QDialog::accept();
}

void TipOfTheDayDialog::showNextTip() {
    if (!file_)
        return;
    const std::string tip = file_->next();
    tip_->setText(tip.empty() ? QLatin1String(kNoTipsText) : shownText(tip));
}

void showTipOfTheDay(qtsupport::SettingsStore& settings, FileSystem& fs, QWidget* parent) {
    TipOfTheDayDialog dialog(settings, fs, parent);
    Prompter::exec(dialog);
}

void TipOfTheDayDialog::reportTrouble() {
    Prompter::message(parentWidget(), QMessageBox::Warning, QLatin1String(kTipsTroubleText),
                      QMessageBox::Ok);
}

} // namespace vantrel::gui
