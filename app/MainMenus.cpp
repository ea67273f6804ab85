#include "MainMenus.h"

#include "CommandCatalog.h"
#include "MainFrame.h"
#include "framework/CommandRouter.h"
#include "framework/RecentFileList.h"
#include "framework/StandardCommands.h"
#include "views/Artwork.h"
#include "views/Commands.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

MainMenus::MainMenus(CMainFrame& frame, CommandRouter& router, const RecentFileList& recentFiles)
    : QObject(&frame), frame_(frame), router_(router), recentFiles_(recentFiles) {
    buildMenus();
    buildToolBar();
    addShortcuts();
    refreshRecentFiles();
}

// One action per command id, made on first use and shared by menu, toolbar and shortcut.
QAction* MainMenus::command(int id, const QString& menuText) {
    QAction* action = router_.action(id);
    if (!action) {
        const CommandText text = TextOfCommand(id);
        action = new QAction(menuText.isEmpty() ? text.tooltip : menuText, &frame_);
        action->setObjectName(QStringLiteral("command%1").arg(id));
        action->setStatusTip(text.prompt);
        action->setToolTip(text.tooltip);
        frame_.addAction(action); // shortcuts work even without a visible menu item
        router_.bind(id, action);
    } else if (!menuText.isEmpty()) {
        action->setText(menuText);
    }
    return action;
}

void MainMenus::buildMenus() {
    QMenuBar* bar = frame_.menuBar();
    fileMenu_ = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    fileMenu_->addAction(command(ID_FILE_NEW, QStringLiteral("新規作成(&N)")));
    fileMenu_->addAction(command(ID_FILE_OPEN, QStringLiteral("開く(&O)...")));
    fileMenu_->addAction(command(ID_FILE_SAVE, QStringLiteral("保存(&S)")));
    fileMenu_->addAction(command(ID_FILE_SAVE_AS, QStringLiteral("名前を付けて保存(&A)...")));
    fileMenu_->addSeparator();
    fileMenu_->addAction(command(ID_FILE_PRINT, QStringLiteral("印刷(&P)...")));
    fileMenu_->addAction(command(ID_FILE_PRINT_PREVIEW, QStringLiteral("印刷ﾌﾟﾚﾋﾞｭｰ(&V)")));
    fileMenu_->addSeparator();
    recentPlaceholder_ = fileMenu_->addAction(QStringLiteral("最新のﾌｧｲﾙ"));
    recentPlaceholder_->setEnabled(false);
    fileMenu_->addSeparator();
    fileMenu_->addAction(command(ID_APP_EXIT, QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)")));

    QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
    edit->addAction(command(ID_EDIT_UNDO));
    edit->addAction(command(ID_EDIT_REDO));
    nameUndoSteps({}, {});
    edit->addSeparator();
    edit->addAction(command(ID_EDIT_CUT, QStringLiteral("切り取り(&T)")));
    edit->addAction(command(ID_EDIT_COPY, QStringLiteral("コピー(&C)")));
    edit->addAction(command(ID_EDIT_PASTE, QStringLiteral("貼り付け(&P)")));
    edit->addSeparator();
    edit->addAction(command(ID_DELETE, QStringLiteral("削除")));
    edit->addSeparator();
    edit->addAction(command(ID_MOVE_UP, QStringLiteral("上へ移動")));
    edit->addAction(command(ID_MOVE_DOWN, QStringLiteral("下へ移動")));
    edit->addSeparator();
    edit->addAction(command(ID_LOAD_AT_SELECTION, QStringLiteral("選択位置に読み込み")));
    edit->addSeparator();
    edit->addAction(command(ID_PROPERTIES, QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ")));
    edit->addSeparator();
    edit->addAction(command(ID_FIND, QStringLiteral("検索...")));

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    view->addAction(command(ID_VIEW_TOOLBAR, QStringLiteral("ﾂｰﾙ ﾊﾞｰ(&T)")));
    view->addAction(command(ID_VIEW_STATUS_BAR, QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰ(&S)")));

    QMenu* insert = bar->addMenu(QStringLiteral("挿入(&I)"));
    insert->addAction(command(ID_INSERT_ADDRESS, QStringLiteral("アドレスの挿入")));
    insert->addAction(command(ID_INSERT_GROUP, QStringLiteral("グループの挿入")));
    insert->addAction(command(ID_INSERT_SEPARATOR, QStringLiteral("セパレータの挿入")));

    QMenu* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->addAction(command(ID_APP_ABOUT, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Tellwick) (&A)...")));

    for (QMenu* menu : {fileMenu_, edit, view, insert, help})
        router_.watchMenu(menu);
    connect(fileMenu_, &QMenu::aboutToShow, this, &MainMenus::refreshRecentFiles);
}

void MainMenus::buildToolBar() {
    using Artwork::ToolbarImage;
    const QList<QPair<int, ToolbarImage>> groups[] = {
        {{ID_FILE_OPEN, ToolbarImage::Open}, {ID_FILE_SAVE, ToolbarImage::Save}},
        {{ID_DELETE, ToolbarImage::Delete}, {ID_PROPERTIES, ToolbarImage::Properties}},
        {{ID_MOVE_UP, ToolbarImage::MoveUp}, {ID_MOVE_DOWN, ToolbarImage::MoveDown}},
        {{ID_INSERT_GROUP, ToolbarImage::InsertGroup},
         {ID_INSERT_SEPARATOR, ToolbarImage::InsertSeparator},
         {ID_INSERT_ADDRESS, ToolbarImage::InsertAddress}},
    };
    QToolBar* bar = frame_.toolBar();
    for (const auto& group : groups) {
        if (!bar->actions().isEmpty())
            bar->addSeparator();
        for (const auto& [id, image] : group) {
            QAction* action = command(id);
            action->setIcon(Artwork::toolbarIcon(image));
            bar->addAction(action);
        }
    }
}

void MainMenus::addShortcuts() {
    const QList<QPair<int, QList<QKeySequence>>> table = {
        {ID_FILE_NEW, {QKeySequence(Qt::CTRL | Qt::Key_N)}},
        {ID_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {ID_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {ID_FILE_PRINT, {QKeySequence(Qt::CTRL | Qt::Key_P)}},
        {ID_EDIT_UNDO,
         {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
        {ID_EDIT_REDO,
         {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}},
        {ID_EDIT_CUT,
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {ID_EDIT_COPY,
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {ID_EDIT_PASTE,
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {ID_NEXT_PANE, {QKeySequence(Qt::Key_F6)}},
        {ID_PREV_PANE, {QKeySequence(Qt::SHIFT | Qt::Key_F6)}},
        {ID_FIND, {QKeySequence(Qt::CTRL | Qt::Key_F)}},
    };
    for (const auto& [id, keys] : table) {
        QAction* action = command(id);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

void MainMenus::nameUndoSteps(const QString& undoName, const QString& redoName) {
    const auto itemText = [](QString text, const QString& step, const QString& mnemonic) {
        if (!step.isEmpty())
            text += QStringLiteral(" - ") + step;
        return text + mnemonic;
    };
    router_.action(ID_EDIT_UNDO)
        ->setText(itemText(QStringLiteral("元に戻す"), undoName, QStringLiteral("(&U)")));
    router_.action(ID_EDIT_REDO)
        ->setText(itemText(QStringLiteral("やり直し"), redoName, QStringLiteral("(&R)")));
}

void MainMenus::refreshRecentFiles() {
    // The actions stay bound to their commands; only their text and place in the menu change.
    for (QAction* action : std::as_const(recentActions_))
        fileMenu_->removeAction(action);
    recentActions_.clear();
    const QString currentDir = QDir::currentPath();
    for (int i = 0; i < recentFiles_.count(); ++i) {
        QAction* action = command(ID_FILE_MRU_FILE1 + i);
        action->setText(recentFiles_.menuText(i, currentDir));
        fileMenu_->insertAction(recentPlaceholder_, action);
        recentActions_.append(action);
    }
    recentPlaceholder_->setVisible(recentActions_.isEmpty());
}
