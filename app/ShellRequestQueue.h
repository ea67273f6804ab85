#pragma once

#include "ShellRequests.h"

#include <QObject>

#include <deque>
#include <functional>

// Carries out the shell's requests one at a time from the event loop, never while a modal
// dialog is open. A request may show a modal box; requests arriving meanwhile wait their
// turn instead of stacking boxes, and a flood beyond the capacity is refused.
class ShellRequestQueue : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const ShellRequest&)>;
    static constexpr qsizetype kCapacity = 16;
    static constexpr int kModalRetryMs = 200;

    explicit ShellRequestQueue(Handler handler, qsizetype capacity = kCapacity,
                               QObject* parent = nullptr);

    // False, keeping nothing, when the queue is full.
    bool enqueue(const ShellRequest& request);
    qsizetype pending() const { return qsizetype(pending_.size()); }

private:
    void scheduleNext();
    void runNext();

    Handler handler_;
    qsizetype capacity_;
    std::deque<ShellRequest> pending_;
    bool running_ = false;
    bool scheduled_ = false;
};
