#pragma once

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>

namespace qly {

// Runs work on a thread of its own and hands its result to done on the GUI thread, unless
// context is gone by then: reading and decoding files never holds the window up.
template <typename T>
void runAside(QObject* context, std::function<T()> work, std::function<void(T)> done) {
    auto result = std::make_shared<std::optional<T>>();
    QThread* thread = QThread::create([work = std::move(work), result] { *result = work(); });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QObject::connect(thread, &QThread::finished, context, [result, done = std::move(done)] {
        if (*result)
            done(std::move(**result));
    });
    thread->start();
}

} // namespace qly
