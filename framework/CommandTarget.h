#pragma once

#include <QHash>

#include <functional>
#include <optional>

// What a command's state handler decides for its menu item, button and shortcut.
struct CommandState {
    bool enabled = true;
    std::optional<bool> checked;
};

// A class that answers commands: a table of handlers and state handlers by command id.
class CommandTarget {
public:
    using Handler = std::function<void()>;
    using StateHandler = std::function<void(CommandState&)>;

    virtual ~CommandTarget() = default;

    const Handler* handler(int id) const { return find(handlers_, id); }
    // Called just before one of this target's handlers runs.
    virtual void commandStarting() {}
    const StateHandler* stateHandler(int id) const { return find(stateHandlers_, id); }

protected:
    void onCommand(int id, Handler handler) { handlers_.insert(id, std::move(handler)); }
    void onCommandState(int id, StateHandler handler) {
        stateHandlers_.insert(id, std::move(handler));
    }

private:
    template <class T> static const T* find(const QHash<int, T>& table, int id) {
        auto it = table.constFind(id);
        return it == table.constEnd() ? nullptr : &it.value();
    }

    QHash<int, Handler> handlers_;
    QHash<int, StateHandler> stateHandlers_;
};
