#include "MainFrame.h"

#include "KeyLockIndicators.h"
#include "MenuBarKeys.h"
#include "MouseRelay.h"
#include "framework/PathNames.h"
#include "framework/StandardCommands.h"
#include "views/PaneMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QVBoxLayout>

CMainFrame::CMainFrame(QWidget* leftPane, QWidget* rightPane, QWidget* parent)
    : QMainWindow(parent), splitter_(new QSplitter(Qt::Horizontal)), clientArea_(new QWidget) {
    setObjectName(QStringLiteral("mainFrame"));
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(leftPane);
    splitter_->addWidget(rightPane);
    splitter_->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(clientArea_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(splitter_, 1);
    setCentralWidget(clientArea_);
    createToolBar();
    createStatusBar();
    registerCommands();
    new MenuBarKeys(*this);
    setAcceptDrops(true);
    resizeToFitScreen(QSize(800, 560));
}

// The first size, but never larger than the screen: at a large scale factor 800 x 560
// would put the status bar off screen.
void CMainFrame::resizeToFitScreen(const QSize& wanted) {
    QSize size = wanted;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

QWidget* CMainFrame::pane(int column) const {
    return splitter_->widget(column);
}

void CMainFrame::setDocumentTitle(const QString& title) {
    setWindowTitle(title + QStringLiteral(" - アドレス帳"));
}

void CMainFrame::addBottomBar(QWidget* bar) {
    clientArea_->layout()->addWidget(bar);
}

void CMainFrame::createToolBar() {
    toolBar_ = addToolBar(QStringLiteral("ﾂｰﾙ ﾊﾞｰ"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setIconSize(QSize(16, 15));
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
}

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    messagePane_ = new QLabel(QStringLiteral("ﾚﾃﾞｨ"), bar);
    messagePane_->setObjectName(QStringLiteral("messagePane"));
    messagePane_->setContentsMargins(4, 0, 0, 0);
    bar->addWidget(messagePane_, 1);
    new KeyLockIndicators(bar);
}

// Prompts go into the message pane itself, where "ﾚﾃﾞｨ" stands, so the text never jumps.
void CMainFrame::showPrompt(const QString& prompt) {
    messagePane_->setText(prompt.isEmpty() ? QStringLiteral("ﾚﾃﾞｨ") : prompt);
}

// With two panes, the next and the previous pane are both the other one.
void CMainFrame::focusOtherPane() {
    QWidget* focused = QApplication::focusWidget();
    const bool inLeft = focused && (focused == pane(0) || pane(0)->isAncestorOf(focused));
    pane(inLeft ? 1 : 0)->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::registerCommands() {
    onCommand(ID_NEXT_PANE, [this] { focusOtherPane(); });
    onCommand(ID_PREV_PANE, [this] { focusOtherPane(); });
    onCommand(ID_VIEW_TOOLBAR, [this] { toolBar_->setVisible(!toolBar_->isVisible()); });
    onCommandState(ID_VIEW_TOOLBAR, [this](CommandState& s) { s.checked = toolBar_->isVisible(); });
    onCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    onCommandState(ID_VIEW_STATUS_BAR,
                   [this](CommandState& s) { s.checked = statusBar()->isVisible(); });
}

// The left pane starts at a quarter of the client width, rounded down.
void CMainFrame::setInitialPaneWidths() {
    const int width = splitter_->width();
    const int left = width / 4;
    splitter_->setSizes({left, std::max(0, width - left - splitter_->handleWidth())});
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (panesSized_)
        return;
    panesSized_ = true;
    setInitialPaneWidths();
    pane(0)->setFocus(); // the tree pane starts as the active pane
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        showPrompt(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    if (event->type() != PaneMessageEvent::type())
        return QMainWindow::event(event);
    auto& message = static_cast<PaneMessageEvent&>(*event);
    PaneMessageEvent relayed = message.relayed();
    QWidget* target = pane(PaneOfMessage(message.message));
    if (target)
        QCoreApplication::sendEvent(target, &relayed);
    message.result = 0; // whatever the pane answered
    return true;
}

void CMainFrame::relayMouse(QMouseEvent* event) {
    // A pane that ignores the event lets it climb back to the frame: relay it once only.
    if (relaying_)
        return;
    const QScopedValueRollback<bool> once(relaying_, true);
    const QPoint global = event->globalPosition().toPoint();
    const RelayTarget target = PickRelayTarget(global, pane(0), pane(1));
    QMouseEvent relayed(event->type(), QPointF(target.local), event->globalPosition(),
                        event->button(), event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(target.pane, &relayed);
}

void CMainFrame::mouseMoveEvent(QMouseEvent* event) {
    if (mouseGrabber() == this)
        relayMouse(event);
    else
        QMainWindow::mouseMoveEvent(event);
}

void CMainFrame::mouseReleaseEvent(QMouseEvent* event) {
    if (mouseGrabber() == this && event->button() == Qt::LeftButton)
        relayMouse(event);
    else
        QMainWindow::mouseReleaseEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    bool accept = true;
    emit closeRequested(&accept);
    if (accept)
        event->accept();
    else
        event->ignore();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << LocalPathOfUrl(url);
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    emit filesDropped(paths);
}
