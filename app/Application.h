#pragma once

#include <QApplication>

#include <functional>

class Prompter;

// The application object. It is the one place where an exception that no
// handler caught is reported: the event that raised it stops, the text is
// shown in a message box, and the program goes on.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Where uncaught errors go; the message box by default. Tests and the
    // fuzz harness count them instead.
    void setErrorReport(std::function<void(const QString&)> report);
    void setPrompter(Prompter* prompter) { m_prompter = prompter; }
    int errorsReported() const { return m_errors; }
    // Reports an error caught elsewhere as if it had escaped a handler.
    void report(const QString& text) { reportError(text); }

private:
    void reportError(const QString& text);

    std::function<void(const QString&)> m_report;
    Prompter* m_prompter = nullptr;
    int m_errors = 0;
    bool m_reporting = false;
};
