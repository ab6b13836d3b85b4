#include "client/GameLogWindow.h"

#include "client/DialogSaveFileChooser.h"
#include "client/GameLog.h"
#include "ui/NamedControls.h"
#include "ui/Prompter.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

GameLogWindow::GameLogWindow(GameLog& log, Prompter& prompter, QWidget* parent,
                             SaveFileChooser* chooser)
    : QWidget(parent, Qt::Window), m_log(log), m_prompter(prompter), m_chooser(chooser) {
    if (!m_chooser) {
        m_ownChooser = std::make_unique<DialogSaveFileChooser>();
        m_chooser = m_ownChooser.get();
    }
    setObjectName("GameLogWindow");
    setWindowTitle("Game Log");
    resize(480, 420);

    m_view = new QPlainTextEdit(this);
    m_view->setObjectName("GameLogText");
    m_view->setReadOnly(true);
    m_view->setUndoRedoEnabled(false);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setMaximumBlockCount(GameLog::maxLines);
    const QStringList lines = log.lines();
    if (!lines.isEmpty())
        m_view->setPlainText(lines.join('\n'));
    // appendPlainText takes the text as plain characters, never as markup.
    connect(&log, &GameLog::lineAdded, m_view, &QPlainTextEdit::appendPlainText);

    QPushButton* copyButton = namedButton(this, "GameLogCopy", "Copy");
    QPushButton* saveButton = namedButton(this, "GameLogSave", "Save As...");
    connect(copyButton, &QPushButton::clicked, this, &GameLogWindow::copy);
    connect(saveButton, &QPushButton::clicked, this, &GameLogWindow::saveAs);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copyButton);
    buttons->addWidget(saveButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    layout->addLayout(buttons);
}

GameLogWindow::~GameLogWindow() = default;

void GameLogWindow::copy() {
    QString text = m_view->textCursor().selectedText();
    if (text.isEmpty())
        text = m_log.text();
    else
        text.replace(QChar::ParagraphSeparator, '\n');
    QGuiApplication::clipboard()->setText(text);
}

void GameLogWindow::saveAs() {
    const QString suggestion =
        m_lastPath.isEmpty() ? QDir::home().filePath("gamelog.txt") : m_lastPath;
    const QString path = m_chooser->saveFileName(this, "Save the Game Log", suggestion);
    if (path.isEmpty())
        return;
    if (saveTo(path))
        m_lastPath = path;
}

bool GameLogWindow::saveTo(const QString& path) {
    QSaveFile file(path);
    // Never write into the old file: without the rename it stays whole.
    file.setDirectWriteFallback(false);
    const QByteArray bytes = m_log.text().toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    const QString reason = file.errorString();
    file.cancelWriting();
    m_prompter.message("Could not save the game log to " + QDir::toNativeSeparators(path) + ": " +
                       reason);
    return false;
}
