#include "app/Application.h"

#include "ui/Prompter.h"

#include <exception>

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("climora");
    setApplicationDisplayName("Climora");
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    } catch (...) {
        reportError("Unknown error");
    }
    return false;
}

void Application::setErrorReport(std::function<void(const QString&)> report) {
    m_report = std::move(report);
}

void Application::reportError(const QString& text) {
    ++m_errors;
    if (m_report) {
        m_report(text);
        return;
    }
    // A message box runs its own event loop; an error raised while it is up
    // is shown after it rather than stacking boxes.
    if (m_prompter && !m_reporting) {
        m_reporting = true;
        m_prompter->message(text);
        m_reporting = false;
    }
}
