#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

namespace vantrel::gui {

/// "Jump Directly to Path": a folder path typed in; OK only for an existing folder.
class JumpToPathDialog final : public QDialog {
    Q_OBJECT
public:
    JumpToPathDialog(const QString& path, QWidget* parent);
    /// The entered path (meaningful after OK): absolute, "~" expanded.
    [[nodiscard]] QString path() const { return path_; }
    /// The check OK makes: the text names an existing folder. Returns the
    /// message to show when it does not, else empty.
    [[nodiscard]] static QString refusal(const QString& text);
    /// The text with a leading "~" made the home folder.
    [[nodiscard]] static QString expanded(const QString& text);

    void accept() override;

private:
    QLineEdit* edit_;
    QString path_;
};

/// "Zoom Text": one criteria text in a wide box with a larger font.
class ZoomTextDialog final : public QDialog {
    Q_OBJECT
public:
    ZoomTextDialog(const QString& text, QWidget* parent);
    [[nodiscard]] QString text() const;

private:
    QLineEdit* edit_;
};

/// "About Vantrel": name, version, notice, comments and the home-page link.
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent);
};

} // namespace vantrel::gui
