#pragma once

#include "CommandTarget.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMenu;

// Carries commands along the chain (active pane, document, frame, application): the first
// target with a state handler decides the state, the first with a handler runs it. States are
// refreshed when the event loop goes idle after input and before a menu opens; a disabled
// command never runs, whether from a menu, a button or a shortcut.
class CommandRouter : public QObject {
    Q_OBJECT

public:
    using Chain = std::function<QList<CommandTarget*>()>;

    explicit CommandRouter(Chain chain, QObject* parent = nullptr);

    void bind(int id, QAction* action);
    void watchMenu(QMenu* menu);
    QAction* action(int id) const { return actions_.value(id); }

    CommandState stateOf(int id) const;
    // Runs the command if its state allows; true when some target carried it out.
    bool execute(int id);
    void updateAll();
    // Runs a command on one target only, as a context menu of a pane does.
    static bool executeOn(CommandTarget& target, int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onIdle();

    Chain chain_;
    QHash<int, QAction*> actions_;
    bool stale_ = true;
};
