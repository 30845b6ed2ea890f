#pragma once

#include "help/HelpWindow.h"
#include "help/ProgramData.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QHelpEngine;
class QWidget;

namespace vantrel::gui {

/// The program's help: the help collection opened in a help engine on first
/// use and shown in the program's own help window (contents, index and
/// full-text search). When the collection is missing or cannot be opened,
/// every command does nothing and says so with false.
class HelpSystem final : public QObject {
    Q_OBJECT
public:
    /// The help of `collectionFile` (by default the installed one; empty:
    /// none), worked on in `workFolder` (by default a folder of the user's
    /// cache), which receives a copy of the collection and its help file so
    /// that the search index can be written beside them even when the
    /// program's own folder is read-only. The help window is a window of
    /// its own above `parent`. Nothing is opened before the first use.
    explicit HelpSystem(
        QWidget* parent,
        QString collectionFile = programDataFile(QLatin1String(kHelpCollectionName)),
        QString workFolder = defaultWorkFolder());
    ~HelpSystem() override;

    /// The per-user folder the help is worked on in by default.
    [[nodiscard]] static QString defaultWorkFolder();

    /// Whether the collection was found and opened (opened at the first call).
    [[nodiscard]] bool available();
    /// Shows the help window at its contents; false, and nothing shown, when
    /// the help is not available.
    bool showContents();
    /// Shows the help window at its index; false when not available.
    bool showIndex();
    /// Shows the help window's search page with an empty query; false when
    /// not available.
    bool showSearch();

    /// The help window once the help is open, else null.
    [[nodiscard]] HelpWindow* window() const { return window_; }
    /// The help engine once the help is open, else null.
    [[nodiscard]] QHelpEngine* engine() const { return engine_; }

private:
    bool open();
    void present();

    QPointer<QWidget> parent_;
    QString collectionFile_;
    QString workFolder_;
    bool tried_ = false;
    QHelpEngine* engine_ = nullptr;
    QPointer<HelpWindow> window_;
};

} // namespace vantrel::gui
