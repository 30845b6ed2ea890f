#include "help/HelpWindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace vantrel::gui {

HelpBrowser::HelpBrowser(QHelpEngineCore& engine, QWidget* parent)
    : QTextBrowser(parent), engine_(engine) {
    setObjectName(QStringLiteral("helpBrowser"));
    // Links are followed here, so that help addresses stay inside the window.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != QLatin1String("qthelp"))
        return QTextBrowser::loadResource(type, name);
    const QByteArray bytes = engine_.fileData(name);
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(bytes); // the pages are written in UTF-8
    return bytes;
}

void HelpBrowser::followLink(const QUrl& link) {
    const QUrl target = source().resolved(link);
    if (target.scheme() == QLatin1String("qthelp"))
        setSource(target);
    else
        QDesktopServices::openUrl(target);
}

QUrl HelpWindow::homePage() {
    return QUrl(QStringLiteral("qthelp://org.vantrel.help/doc/index.html"));
}

HelpWindow::HelpWindow(QHelpEngine& engine, QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(engine) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Vantrel Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    browser_ = new HelpBrowser(engine_, this);
    buildToolBar(layout);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("helpTabs"));
    QHelpContentWidget* contents = engine_.contentWidget();
    contents->setObjectName(QStringLiteral("helpContents"));
    contents->setHeaderHidden(true);
    tabs_->addTab(contents, QStringLiteral("&Contents"));
    tabs_->addTab(buildIndexTab(), QStringLiteral("&Index"));
    tabs_->addTab(buildSearchTab(), QStringLiteral("&Search"));
    connect(contents, &QHelpContentWidget::linkActivated, this, &HelpWindow::openPage);
    // Whichever way a page was reached (a link, Back), the contents show where it is.
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::markInContents);

    auto* splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("helpSplitter"));
    splitter->addWidget(tabs_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    const QFontMetrics fm(font());
    splitter->setSizes({fm.averageCharWidth() * 32, fm.averageCharWidth() * 90});
    resize(fm.averageCharWidth() * 125, fm.height() * 40);
}

void HelpWindow::buildToolBar(QVBoxLayout* layout) {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("helpToolBar"));
    const struct {
        const char* name;
        const char* text;
        QStyle::StandardPixmap icon;
        QKeySequence::StandardKey key;
    } buttons[] = {
        {"helpBack", "&Back", QStyle::SP_ArrowBack, QKeySequence::Back},
        {"helpForward", "&Forward", QStyle::SP_ArrowForward, QKeySequence::Forward},
        {"helpHome", "&Home", QStyle::SP_DirHomeIcon, QKeySequence::UnknownKey},
    };
    QAction* actions[3] = {};
    for (int i = 0; i < 3; ++i) {
        actions[i] = bar->addAction(style()->standardIcon(buttons[i].icon),
                                    QString::fromLatin1(buttons[i].text).remove(QLatin1Char('&')));
        actions[i]->setObjectName(QString::fromLatin1(buttons[i].name));
        if (buttons[i].key != QKeySequence::UnknownKey)
            actions[i]->setShortcuts(buttons[i].key);
        bar->widgetForAction(actions[i])
            ->setObjectName(QString::fromLatin1(buttons[i].name) + QStringLiteral("Button"));
    }
    actions[0]->setEnabled(false);
    actions[1]->setEnabled(false);
    connect(actions[0], &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(actions[1], &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(actions[2], &QAction::triggered, this, [this] { openPage(homePage()); });
    connect(browser_, &QTextBrowser::backwardAvailable, actions[0], &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, actions[1], &QAction::setEnabled);
    layout->addWidget(bar);
}

QWidget* HelpWindow::buildIndexTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* label = new QLabel(QStringLiteral("&Look for:"), page);
    indexFilter_ = new QLineEdit(page);
    indexFilter_->setObjectName(QStringLiteral("helpIndexFilter"));
    indexFilter_->setClearButtonEnabled(true);
    label->setBuddy(indexFilter_);
    QHelpIndexWidget* index = engine_.indexWidget();
    index->setObjectName(QStringLiteral("helpIndex"));
    layout->addWidget(label);
    layout->addWidget(indexFilter_);
    layout->addWidget(index, 1);
    connect(indexFilter_, &QLineEdit::textChanged, index,
            [index](const QString& text) { index->filterIndices(text); });
    connect(indexFilter_, &QLineEdit::returnPressed, index, &QHelpIndexWidget::activateCurrentItem);
    connect(index, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& document, const QString&) { openPage(document.url); });
    // A keyword on several pages: the first of them; the pages link to each other.
    connect(index, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& documents, const QString&) {
                if (!documents.isEmpty())
                    openPage(documents.first().url);
            });
    return page;
}

QWidget* HelpWindow::buildSearchTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    QHelpSearchEngine* engine = engine_.searchEngine();
    QHelpSearchQueryWidget* query = engine->queryWidget();
    query->setObjectName(QStringLiteral("helpSearchQuery"));
    QHelpSearchResultWidget* results = engine->resultWidget();
    results->setObjectName(QStringLiteral("helpSearchResults"));
    layout->addWidget(query);
    layout->addWidget(results, 1);
    connect(query, &QHelpSearchQueryWidget::search, this, &HelpWindow::search);
    connect(results, &QHelpSearchResultWidget::requestShowLink, this, &HelpWindow::openPage);
    connect(engine, &QHelpSearchEngine::indexingFinished, this, &HelpWindow::indexingFinished);
    return page;
}

void HelpWindow::search() {
    const QString input = engine_.searchEngine()->queryWidget()->searchInput();
    if (!indexReady_) {
        pendingQuery_ = input;
        queryPending_ = true;
        return;
    }
    engine_.searchEngine()->search(input);
}

void HelpWindow::indexingFinished() {
    indexReady_ = true;
    if (queryPending_) {
        queryPending_ = false;
        engine_.searchEngine()->search(pendingQuery_);
    }
}

void HelpWindow::showContents() {
    tabs_->setCurrentIndex(0);
    if (browser_->source().isEmpty())
        openPage(homePage());
    engine_.contentWidget()->setFocus();
}

void HelpWindow::showIndex() {
    tabs_->setCurrentIndex(1);
    if (browser_->source().isEmpty())
        openPage(homePage());
    indexFilter_->setFocus();
    indexFilter_->selectAll();
}

void HelpWindow::showSearch() {
    tabs_->setCurrentIndex(2);
    if (browser_->source().isEmpty())
        openPage(homePage());
    QHelpSearchQueryWidget* query = engine_.searchEngine()->queryWidget();
    query->setSearchInput(QString());
    query->setFocus();
}

void HelpWindow::openPage(const QUrl& url) {
    browser_->setSource(url);
}

void HelpWindow::markInContents(const QUrl& url) {
    QHelpContentWidget* contents = engine_.contentWidget();
    QUrl page = url;
    page.setFragment(QString());
    const QModelIndex index = contents->indexOf(page);
    if (index.isValid())
        contents->setCurrentIndex(index);
}

} // namespace vantrel::gui
