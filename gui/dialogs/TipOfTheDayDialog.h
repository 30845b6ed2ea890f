#pragma once

#include "SettingsStore.h"
#include "platform/FileSystem.h"
#include "workspace/TipsFile.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;

namespace vantrel::gui {

/// The text shown when there is no tips file.
inline constexpr char kTipsMissingText[] = "Tips file does not exist in the prescribed directory";
/// The text shown when the tips file holds no tip at all.
inline constexpr char kNoTipsText[] = "The tips file holds no tips.";
/// The message shown when the stored position cannot be reached in the file.
inline constexpr char kTipsTroubleText[] = "Trouble reading the tips file";

/// Whether the tip is to be shown after start-up (setting "StartUp" of
/// section "Tip", on when missing). Opens nothing and uses up no tip.
[[nodiscard]] bool tipWantedAtStartUp(const qtsupport::SettingsStore& settings);

/// "Tip of the Day": one hint at a time from the tips file, with "Next Tip"
/// and "Close". Each showing goes on after the last tip of the one before
/// (the position and the file's time stamp are kept in section "Tip"), and
/// starts again at the first tip when the file was replaced. Closing with
/// "Close" stores the "Show Tips on StartUp" box; any other way of closing
/// stores nothing of it.
class TipOfTheDayDialog final : public QDialog {
    Q_OBJECT
public:
    /// Reads the settings and the first tip of this showing from the file at
    /// `tipsPath` (by default the installed tips file; empty: none). A
    /// missing file shows a notice and disables "Next Tip". `settings` and
    /// `fs` must outlive the dialog.
    TipOfTheDayDialog(qtsupport::SettingsStore& settings, FileSystem& fs, QWidget* parent,
                      const QString& tipsPath = defaultTipsPath());
    /// Stores where the next showing goes on.
    ~TipOfTheDayDialog() override;

    /// The tips file beside the program or in its data folder; empty when none.
    [[nodiscard]] static QString defaultTipsPath();

    /// The tip shown.
    [[nodiscard]] QString tipText() const;
    /// "Close": stores the "Show Tips on StartUp" box, then closes.
    void accept() override;

private:
    void showNextTip();
    void reportTrouble();

    qtsupport::SettingsStore& settings_;
    std::optional<TipsFile> file_;
    QLabel* tip_ = nullptr;
    QCheckBox* startUp_ = nullptr;
    QPushButton* nextTip_ = nullptr;
};

/// One showing of the Tip of the Day over `parent`, run through the
/// Prompter (so tests can answer it): Help > Tip of the Day, and the
/// showing after start-up when tipWantedAtStartUp() says so.
void showTipOfTheDay(qtsupport::SettingsStore& settings, FileSystem& fs, QWidget* parent);

} // namespace vantrel::gui
