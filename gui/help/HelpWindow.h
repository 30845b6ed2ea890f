#pragma once

#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class QHelpEngine;
class QHelpEngineCore;
class QLineEdit;
class QTabWidget;
class QVBoxLayout;

namespace vantrel::gui {

/// Shows the pages of the help: reads every qthelp: address from the help
/// engine; other addresses are handed to the system's browser.
class HelpBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    /// `engine` must outlive the browser.
    HelpBrowser(QHelpEngineCore& engine, QWidget* parent);

    /// A page, picture or style sheet of the help; what QTextBrowser reads
    /// for other addresses. Missing help files read as empty.
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void followLink(const QUrl& link);

    QHelpEngineCore& engine_;
};

/// The program's help window: the contents, the index and the full-text
/// search on the left, the page on the right, Back, Forward and Home above.
class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    /// The first page of the help.
    static QUrl homePage();

    /// `engine` must be set up and outlive the window.
    HelpWindow(QHelpEngine& engine, QWidget* parent);

    /// The contents tab, with the first page when none is shown yet.
    void showContents();
    /// The index tab, the focus in its "Look for" box.
    void showIndex();
    /// The search tab with an empty query, the focus in the query.
    void showSearch();
    /// Shows a page of the help (and marks it in the contents).
    void openPage(const QUrl& url);

    [[nodiscard]] HelpBrowser* browser() const { return browser_; }

private:
    QWidget* buildIndexTab();
    QWidget* buildSearchTab();
    void buildToolBar(QVBoxLayout* layout);
    void markInContents(const QUrl& url);
    void search();
    void indexingFinished();

    QHelpEngine& engine_;
    QTabWidget* tabs_ = nullptr;
    QLineEdit* indexFilter_ = nullptr;
    HelpBrowser* browser_ = nullptr;
    /// The search index is written once per run, after the engine's set-up;
    /// a query asked for before it is ready waits for it.
    bool indexReady_ = false;
    QString pendingQuery_;
    bool queryPending_ = false;
};

} // namespace vantrel::gui
