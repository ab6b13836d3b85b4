// The reference of the start-up, idle and memory benchmarks: a minimal Qt
// Widgets program of the game's size, a 767 x 529 main window with a menu
// bar and a dozen child widgets, and nothing else. Like the game, it tells
// its first paint on standard error when CLIMORA_FIRST_PAINT is set ("quit":
// and ends right after).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* window, bool quit) : QObject(window), m_window(window), m_quit(quit) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window) {
            m_seen = true;
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count();
                std::fprintf(stderr, "first-paint %lld\n", static_cast<long long>(ns));
                std::fflush(stderr);
                if (m_quit)
                    QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    bool m_quit;
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Minimal");
    for (const char* title : {"File", "Options", "View", "Help"}) {
        QMenu* menu = window.menuBar()->addMenu(title);
        menu->addAction(QString(title) + " one");
        menu->addAction(QString(title) + " two");
    }
    auto* area = new QWidget(&window);
    window.setCentralWidget(area);
    int y = 8;
    auto place = [&](QWidget* widget, int height = 24) {
        widget->setGeometry(8, y, 360, height);
        y += height + 6;
    };
    place(new QLabel("A label", area));
    place(new QPushButton("A button", area));
    place(new QLineEdit("a line of text", area));
    place(new QCheckBox("A check box", area));
    auto* combo = new QComboBox(area);
    combo->addItems({"one", "two", "three"});
    place(combo);
    place(new QSpinBox(area));
    place(new QSlider(Qt::Horizontal, area));
    auto* list = new QListWidget(area);
    list->addItems({"first", "second", "third"});
    place(list, 60);
    place(new QTextEdit("Some text in a text view.", area), 80);
    auto* side = new QLabel("Another label", area);
    side->setGeometry(400, 8, 340, 24);
    auto* more = new QPushButton("Another button", area);
    more->setGeometry(400, 40, 160, 28);
    auto* last = new QPushButton("A third button", area);
    last->setGeometry(580, 40, 160, 28);
    window.resize(767, 529);

    if (qEnvironmentVariableIsSet("CLIMORA_FIRST_PAINT"))
        new FirstPaint(&window, qEnvironmentVariable("CLIMORA_FIRST_PAINT") == "quit");
    window.show();
    return app.exec();
}
