#pragma once

#include <QWidget>

#include <memory>

class GameLog;
class Prompter;
class QListView;
class QPushButton;
class SaveFileChooser;

// The game's log in a window of its own: the lines as plain text, read
// only, newest last (kept in sight while the view is at its end), with "Copy" (the selection, or
// everything when nothing is selected) and "Save As..." (a plain text file).
class GameLogWindow : public QWidget {
    Q_OBJECT
public:
    // Without a chooser the window asks with the system's file dialog.
    GameLogWindow(GameLog& log, Prompter& prompter, QWidget* parent = nullptr,
                  SaveFileChooser* chooser = nullptr);
    ~GameLogWindow() override;

    QListView* view() const { return m_view; }
    void copy();
    void saveAs();
    // Writes the log's lines to the file: a new file is written beside it
    // and renamed over it, so a failure leaves the old file as it was.
    // Failures are told through the prompter; returns whether it was saved.
    bool saveTo(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private:
    GameLog& m_log;
    Prompter& m_prompter;
    std::unique_ptr<SaveFileChooser> m_ownChooser;
    SaveFileChooser* m_chooser;
    QListView* m_view;
    QString m_lastPath;
    bool m_followEnd = true;
    bool m_scrollPending = false;
};
