#include "ShellRequestQueue.h"

#include <QApplication>
#include <QTimer>

ShellRequestQueue::ShellRequestQueue(Handler handler, qsizetype capacity, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), capacity_(capacity) {}

bool ShellRequestQueue::enqueue(const ShellRequest& request) {
    if (pending() >= capacity_)
        return false;
    pending_.push_back(request);
    scheduleNext();
    return true;
}

void ShellRequestQueue::scheduleNext() {
    if (scheduled_ || running_ || pending_.empty())
        return;
    scheduled_ = true;
    QTimer::singleShot(0, this, &ShellRequestQueue::runNext);
}

void ShellRequestQueue::runNext() {
    scheduled_ = false;
    if (running_ || pending_.empty())
        return;
    // A dialog of the user's is open: an open now would free the entries it edits.
    if (QApplication::activeModalWidget()) {
        scheduled_ = true;
        QTimer::singleShot(kModalRetryMs, this, &ShellRequestQueue::runNext);
        return;
    }
    const ShellRequest request = std::move(pending_.front());
    pending_.pop_front();
    running_ = true;
    handler_(request); // may run a nested event loop
    running_ = false;
    scheduleNext();
}
