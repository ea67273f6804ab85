#include "CommandRouter.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>

CommandRouter::CommandRouter(Chain chain, QObject* parent)
    : QObject(parent), chain_(std::move(chain)) {
    QCoreApplication::instance()->installEventFilter(this);
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CommandRouter::onIdle);
}

void CommandRouter::bind(int id, QAction* action) {
    actions_.insert(id, action);
    connect(action, &QAction::triggered, this, [this, id] { execute(id); });
}

void CommandRouter::watchMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, &CommandRouter::updateAll);
}

CommandState CommandRouter::stateOf(int id) const {
    CommandState state;
    bool hasHandler = false;
    for (CommandTarget* target : chain_()) {
        if (const auto* update = target->stateHandler(id)) {
            (*update)(state);
            return state;
        }
        hasHandler = hasHandler || target->handler(id);
    }
    state.enabled = hasHandler;
    return state;
}

bool CommandRouter::execute(int id) {
    if (!stateOf(id).enabled)
        return false;
    const QList<CommandTarget*> chain = chain_();
    for (CommandTarget* target : chain)
        target->commandStarting();
    for (CommandTarget* target : chain) {
        if (const auto* run = target->handler(id)) {
            (*run)();
            stale_ = true;
            return true;
        }
    }
    return false;
}

bool CommandRouter::executeOn(CommandTarget& target, int id) {
    const auto* run = target.handler(id);
    if (!run)
        return false;
    target.commandStarting();
    (*run)();
    return true;
}

void CommandRouter::updateAll() {
    for (auto it = actions_.constBegin(); it != actions_.constEnd(); ++it) {
        const CommandState state = stateOf(it.key());
        it.value()->setEnabled(state.enabled);
        if (state.checked) {
            it.value()->setCheckable(true);
            it.value()->setChecked(*state.checked);
        }
    }
    stale_ = false;
}

bool CommandRouter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Timer:
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::ActionChanged:
    case QEvent::LayoutRequest:
        break;
    default:
        stale_ = true; // input, focus, posted messages: states may have changed
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CommandRouter::onIdle() {
    if (stale_)
        updateAll();
}
