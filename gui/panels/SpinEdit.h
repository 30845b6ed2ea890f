#pragma once

#include <QAbstractSpinBox>

namespace vantrel::gui {

/// A number box that keeps its content as text: the keyboard types digits
/// only, the arrows and the spin buttons step the number (read with the
/// atoi rule) within the range and write it back as decimal text, and text
/// set by other means (a favourites file, the clipboard) is kept as it is.
class SpinEdit final : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    [[nodiscard]] int minimum() const { return minimum_; }
    [[nodiscard]] int maximum() const { return maximum_; }
    /// Replaces the text without telling anyone.
    void setTextQuietly(const QString& text);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    /// The user typed, pasted or stepped; `text` is the new content.
    void edited(const QString& text);

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int minimum_ = 0;
    int maximum_ = 0;
};

} // namespace vantrel::gui
