#include "StationBusy.h"

#include <QCoreApplication>
#include <QPointer>
#include <utility>
#include <vector>

namespace {

struct DeferredCommand {
    QPointer<QObject> context;
    std::function<void()> action;
};

int g_marks = 0;  // runs, commands and waits holding the mark
int g_waits = 0;  // the waits among them
bool g_runPosted = false;
std::vector<DeferredCommand> g_deferred;

}  // namespace

void CStationBusy::Raise() {
    ++g_marks;
}

void CStationBusy::Lower() {
    if (--g_marks != 0 || g_deferred.empty() || g_runPosted) return;
    // Queued, so that whatever held the mark has returned completely first.
    g_runPosted = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &CStationBusy::RunDeferred,
                              Qt::QueuedConnection);
}

void CStationBusy::BeginWait() {
    ++g_waits;
    Raise();
}

void CStationBusy::EndWait() {
    --g_waits;
    Lower();
}

bool CStationBusy::IsBusy() {
    return g_marks > 0;
}

bool CStationBusy::Waiting() {
    return g_waits > 0;
}

bool CStationBusy::Defer(QObject* context, std::function<void()> action) {
    if (g_marks == 0) return false;
    g_deferred.push_back(DeferredCommand{context, std::move(action)});
    return true;
}

int CStationBusy::Deferred() {
    return static_cast<int>(g_deferred.size());
}

void CStationBusy::RunDeferred() {
    g_runPosted = false;
    // Run by an event loop inside a wait or a command after all: the mark's end posts again.
    if (g_marks != 0) return;
    std::vector<DeferredCommand> commands;
    commands.swap(g_deferred);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        // A command may start a wait or a run: the rest wait for its end, in their order.
        if (g_marks != 0) {
            g_deferred.insert(g_deferred.begin(), std::make_move_iterator(commands.begin() + i),
                              std::make_move_iterator(commands.end()));
            return;
        }
        if (commands[i].context != nullptr) commands[i].action();
    }
}
