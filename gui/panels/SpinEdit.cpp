#include "panels/SpinEdit.h"

#include "text/Utf8Text.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

namespace vantrel::gui {

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setAccelerated(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    connect(lineEdit(), &QLineEdit::textEdited, this, &SpinEdit::edited);
}

void SpinEdit::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
}

void SpinEdit::setTextQuietly(const QString& text) {
    if (lineEdit()->text() == text)
        return;
    const QSignalBlocker blocker(lineEdit());
    lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps) {
    const std::string current = lineEdit()->text().toStdString();
    const long long next = static_cast<long long>(text::atoiRule(current)) + steps;
    const int value = static_cast<int>(std::clamp<long long>(next, minimum_, maximum_));
    const QString text = QString::number(value);
    if (text == lineEdit()->text())
        return;
    setTextQuietly(text);
    lineEdit()->selectAll();
    emit edited(text);
}

QValidator::State SpinEdit::validate(QString&, int&) const {
    // Anything pasted is kept; it reads as a number where it is used.
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

void SpinEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (printable && !text.at(0).isDigit()) {
        event->ignore(); // only digits are typed here
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

QSize SpinEdit::sizeHint() const {
    ensurePolished();
    const QFontMetrics fm(font());
    const int digits = static_cast<int>(
        std::max(QString::number(minimum_).size(), QString::number(maximum_).size()));
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize content(fm.horizontalAdvance(QLatin1Char('0')) * (digits + 1) + 4,
                        lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize SpinEdit::minimumSizeHint() const {
    return sizeHint();
}

} // namespace vantrel::gui
