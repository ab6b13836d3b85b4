#pragma once

#include <QString>

#include <functional>

// A notification on the desktop, outside the program's windows: one at a
// time, shown, replaced or withdrawn by the program, and clicked by the user.
// Nothing here waits: an implementation hands its requests on and returns,
// and where the desktop shows no notifications nothing happens.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    // Shows the notification, replacing the one shown before. The texts are
    // plain text.
    virtual void show(const QString& summary, const QString& body) = 0;
    // Takes the notification shown away; nothing when none is shown.
    virtual void withdraw() = 0;
    // Called when the user clicks the notification shown.
    void setClickHandler(std::function<void()> handler) { m_clicked = std::move(handler); }

protected:
    void clicked() {
        if (m_clicked)
            m_clicked();
    }

private:
    std::function<void()> m_clicked;
};
