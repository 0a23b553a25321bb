#include "ui/main/UiThreadHost.h"

UiCallQueue::UiCallQueue(QObject& context) {
    moveToThread(context.thread());
    connect(this, &UiCallQueue::callQueued, this, &UiCallQueue::RunNext, Qt::QueuedConnection);
}

UiCallQueue::~UiCallQueue() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (Pending* pending : pending_) {
        pending->done = true;
    }
    pending_.clear();
    finished_.notify_all();
}

void UiCallQueue::RunAndWait(const std::function<void()>& call) {
    Pending pending{&call};
    std::unique_lock lock(mutex_);
    if (closed_) {
        return;
    }
    // The entry lives until its call is done: this function waits for that below, and the
    // destructor takes every entry out of the queue before it answers them.
    // cppcheck-suppress danglingLifetime
    pending_.push_back(&pending);
    lock.unlock();
    emit callQueued();
    lock.lock();
    finished_.wait(lock, [&] { return pending.done; });
}

void UiCallQueue::RunNext() {
    std::unique_lock lock(mutex_);
    if (pending_.empty()) {
        return;
    }
    Pending* pending = pending_.front();
    pending_.pop_front();
    lock.unlock();
    // Runs unlocked: a message box's own event loop may serve further calls meanwhile.
    (*pending->call)();
    lock.lock();
    pending->done = true;
    finished_.notify_all();
}
