#include "client/GameLogWindow.h"

#include "client/DialogSaveFileChooser.h"
#include "client/GameLog.h"
#include "ui/NamedControls.h"
#include "ui/Prompter.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

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

    // A list of the log's lines: the item views draw text as plain
    // characters, never as markup, and a line costs the same however many
    // there are.
    m_view = new QListView(this);
    m_view->setObjectName("GameLogText");
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setUniformItemSizes(true);
    m_view->setTextElideMode(Qt::ElideNone);
    m_view->setModel(&log);
    connect(&log, &GameLog::rowsAboutToBeInserted, this, [this] {
        QScrollBar* bar = m_view->verticalScrollBar();
        m_followEnd = bar->value() == bar->maximum();
    });
    // Scrolling lays every line out at once: done once per turn of the
    // event loop, however many lines came.
    connect(&log, &GameLog::rowsInserted, this, [this] {
        if (!m_followEnd || !m_view->isVisible() || m_scrollPending)
            return;
        m_scrollPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scrollPending = false;
                m_view->scrollToBottom();
            },
            Qt::QueuedConnection);
    });

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

void GameLogWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_view->scrollToBottom();
}

void GameLogWindow::copy() {
    QModelIndexList selected = m_view->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        QGuiApplication::clipboard()->setText(m_log.text());
        return;
    }
    std::sort(selected.begin(), selected.end());
    QString text;
    for (const QModelIndex& index : selected)
        text += index.data().toString() + '\n';
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
