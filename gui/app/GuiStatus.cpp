#include "app/GuiStatus.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

namespace vantrel::gui {
namespace {

QLabel* pane(QStatusBar* bar, const char* name, const QString& text, int width, int stretch) {
    auto* label = new QLabel(text, bar);
    label->setObjectName(QString::fromLatin1(name));
    if (width > 0)
        label->setMinimumWidth(width);
    label->setTextFormat(Qt::PlainText);
    bar->addWidget(label, stretch);
    return label;
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

GuiStatus::GuiStatus(QStatusBar* bar, QPushButton* renameButton) : rename_(renameButton) {
    bar->setObjectName(QStringLiteral("statusBar"));
    // The panes' designed widths, scaled with the font (180 and 80 pixels at 8 points).
    const int unit = bar->fontMetrics().averageCharWidth();
    statistics_ = pane(bar, "statisticsPane", QStringLiteral("Statistics"), unit * 30, 0);
    favourite_ = pane(bar, "favouritePane", QStringLiteral("Favourite"), unit * 13, 0);
    message_ = pane(bar, "messagePane", QStringLiteral("Vantrel"), 0, 1);
}

void GuiStatus::setStatusMessage(std::string_view text) {
    message_->setText(toQString(text));
}

void GuiStatus::setFavouriteName(std::string_view text) {
    favourite_->setText(toQString(text));
}

void GuiStatus::updateStatistics(std::size_t objects, std::size_t selected) {
    statistics_->setText(toQString(statisticsText(objects, selected)));
    rename_->setEnabled(selected > 0);
}

} // namespace vantrel::gui
