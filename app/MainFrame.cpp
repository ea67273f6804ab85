#include "MainFrame.h"

#include "KeyLockIndicators.h"
#include "MouseRelay.h"
#include "framework/PathNames.h"
#include "framework/StandardCommands.h"
#include "views/PaneMessages.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

CMainFrame::CMainFrame(QWidget* leftPane, QWidget* rightPane, QWidget* parent)
    : QMainWindow(parent), splitter_(new QSplitter(Qt::Horizontal, this)) {
    setObjectName(QStringLiteral("mainFrame"));
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(leftPane);
    splitter_->addWidget(rightPane);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);
    createToolBar();
    createStatusBar();
    registerCommands();
    setAcceptDrops(true);
    resize(800, 560);
}

QWidget* CMainFrame::pane(int column) const {
    return splitter_->widget(column);
}

void CMainFrame::setDocumentTitle(const QString& title) {
    setWindowTitle(title + QStringLiteral(" - アドレス帳"));
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
    auto* messagePane = new QLabel(QStringLiteral("ﾚﾃﾞｨ"), bar);
    messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(messagePane, 1);
    new KeyLockIndicators(bar);
}

void CMainFrame::registerCommands() {
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
    if (event->type() != PaneMessageEvent::type())
        return QMainWindow::event(event);
    auto& message = static_cast<PaneMessageEvent&>(*event);
    PaneMessageEvent relayed(message.message, message.wParam, message.lParam);
    QWidget* target = pane(message.message == UM_SHOWGROUP ? 1 : 0);
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
