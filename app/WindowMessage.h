// Posted messages between the station's windows and its background work: a command (the id
// of a menu item or control, as a click would send it) and a numbered message with two
// parameters. Windows handle both in customEvent().
#pragma once

#include <QEvent>
#include <QtGlobal>

class CCommandEvent : public QEvent {
  public:
    // The application-exit command: the main window closes as with Cancel.
    static constexpr int ID_APP_EXIT = 57665;

    explicit CCommandEvent(int id) : QEvent(EventType()), m_nId(id) {}
    int Id() const { return m_nId; }

    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

  private:
    int m_nId;
};

class CMessageEvent : public QEvent {
  public:
    CMessageEvent(int message, qintptr wParam, qintptr lParam)
        : QEvent(EventType()), m_nMessage(message), m_wParam(wParam), m_lParam(lParam) {}
    int Message() const { return m_nMessage; }
    qintptr WParam() const { return m_wParam; }
    qintptr LParam() const { return m_lParam; }

    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

  private:
    int m_nMessage;
    qintptr m_wParam;
    qintptr m_lParam;
};
