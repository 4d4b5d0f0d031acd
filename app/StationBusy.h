// The station's one busy mark, on the window's thread. A wait that keeps the window's events
// going (a reader exchange, a register call, the stored next number) raises it for the wait,
// and so does a run or a command of the station while it runs. An operator's command that
// comes while the mark is raised is deferred: it runs once the mark is down, from the event
// loop, never inside a waiting call or inside another command's dialog. So nothing deletes
// the register, its windows or a waiting call's state under that call.
#pragma once

#include <QObject>
#include <functional>

class CStationBusy {
  public:
    // Raises the mark for the scope's life (a run or a command).
    class Scope {
      public:
        Scope() { Raise(); }
        ~Scope() { Lower(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };
    // Raises the mark for a wait that runs the window's events, for the scope's life.
    class Wait {
      public:
        Wait() { BeginWait(); }
        ~Wait() { EndWait(); }
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;
    };

    // For marks whose start and end come as two calls (the SDK's and the register's hooks).
    static void Raise();
    static void Lower();
    static void BeginWait();
    static void EndWait();

    // True while anything holds the mark.
    static bool IsBusy();
    // True while a wait runs the window's events (the mark is raised then too): for what may
    // run inside a command but never inside a call (a run's tick, a page of the register).
    static bool Waiting();

    // While the mark is raised: keeps action to run once it is down (dropped if context is
    // gone by then) and gives true. Otherwise false: the caller goes on at once.
    static bool Defer(QObject* context, std::function<void()> action);
    // The commands deferred so far that have not run yet.
    static int Deferred();

    // A slot for an operator's command: deferred while the mark is raised, else run at once
    // with the mark raised, so that nothing deferred runs inside it (its dialogs and message
    // boxes run the event loop too). The signal's arguments are not passed on.
    template <class Action>
    static auto WhenIdle(QObject* context, Action action) {
        const auto command = [action] {
            const Scope busy;
            action();
        };
        return [context, command](auto&&...) {
            if (!Defer(context, command)) command();
        };
    }

  private:
    static void RunDeferred();
};
