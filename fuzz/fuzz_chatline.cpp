// Arbitrary chat lines in arbitrary colours, shown, laid out, painted and
// selected in the chat view. A line whose source is not a number from 0 to 9
// is refused with EChatLine and must leave the chat as it was; anything else
// is shown as one new line of bounded length, the history dropping its
// oldest lines when it is full.
//
// Input: one byte of settings (view width, text size, which path a line
// takes), four bytes of colour, then lines separated by LF: each is either
// UTF-8 for addlinetochat or the 8-bit bytes of a relayed CMD_chat.
#include "FuzzScratch.h"
#include "social/ChatDisplay.h"
#include "social/ChatView.h"
#include "social/EChatLine.h"
#include "support/FakeClientServices.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <memory>

namespace {

QApplication* application = nullptr;
FakeClientServices* services = nullptr;
QWidget* window = nullptr;
ChatDisplay* display = nullptr;

void checkLinks() {
    FUZZ_CHECK(display->linkCounter() >= -1 && display->linkCounter() < ChatDisplay::linkEntries);
    FUZZ_CHECK(display->linkTable().size() == ChatDisplay::linkEntries);
    ChatView* view = display->view();
    const int links = view->linkCount();
    for (int n = 0; n < links; ++n)
        FUZZ_CHECK(!view->linkText(n).isNull());
    FUZZ_CHECK(view->linkText(links).isNull());
}

void show(const QByteArray& line, quint32 colour, bool relayed) {
    ChatView* view = display->view();
    const int linesBefore = view->lineCount();
    const int itemsBefore = int(view->items().size());
    try {
        if (relayed)
            display->chatrecieved(line);
        else
            display->addlinetochat(QString::fromUtf8(line), colour);
    } catch (const EChatLine&) {
        // Refused before anything was shown.
        FUZZ_CHECK(view->lineCount() == linesBefore);
        FUZZ_CHECK(int(view->items().size()) == itemsBefore);
        return;
    }
    // A full history drops its oldest lines to make room.
    if (linesBefore < view->maxLines())
        FUZZ_CHECK(view->lineCount() == linesBefore + 1);
    else
        FUZZ_CHECK(view->lineCount() < linesBefore + 1 && view->lineCount() > 0);
    const QList<ChatView::Item> items = view->lineItems(view->lineCount() - 1);
    FUZZ_CHECK(!items.isEmpty() && items.front().startsLine && !items.front().picture);
    qsizetype length = 0;
    for (const ChatView::Item& item : items) {
        FUZZ_CHECK(item.picture ? item.image >= 0 && item.image < view->imageCount()
                                : item.style >= 0 && item.style < ChatView::styleCount);
        length += item.text.size();
    }
    // However long the line, what it shows is bounded: the cut text, the
    // blanks the word rule adds, and the ellipsis.
    FUZZ_CHECK(items.size() <= 2 * ChatDisplay::maxWordRuns + ChatDisplay::maxLineLength / 4);
    FUZZ_CHECK(length <= 2 * ChatDisplay::maxLineLength + 3);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv);
    services = new FakeClientServices;
    window = new QWidget;
    window->resize(300, 340);
    display = new ChatDisplay(services->prompts, *services, window);
    // A short history, so that inputs of many lines drop old ones.
    display->view()->setMaxLines(40);
    // A click on a link must never reach the desktop.
    display->setUrlOpener([](const QUrl&) { return true; });
    window->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5 || size > 4096)
        return 0;
    const uint8_t settings = data[0];
    quint32 colour = 0;
    for (int i = 0; i < 4; ++i)
        colour |= quint32(data[1 + i]) << (8 * i);
    const QByteArray text(reinterpret_cast<const char*>(data + 5), qsizetype(size - 5));

    FUZZ_CHECK(display->view()->lineCount() == 0 && display->linkCounter() == -1);
    static const int sizes[] = {8, 10, 12, 14};
    display->setTextSize(sizes[settings & 3]);
    // Widths from a sliver to wide, so that lines wrap in every way.
    display->view()->resize(1 + (settings >> 2) * 9, 120);

    int n = 0;
    for (const QByteArray& line : text.split('\n')) {
        show(line, colour, (settings >> 7) != ((n++ & 1) != 0));
        checkLinks();
    }

    ChatView* view = display->view();
    FUZZ_CHECK(view->contentHeight() >= 0);
    view->selectAll();
    (void)view->selectedText();
    for (int k = 0; k < view->linkCount(); ++k) {
        const QRect r = view->linkRect(k);
        FUZZ_CHECK(r.width() >= 0 && r.height() >= 0);
    }
    if (view->linkCount() > 0)
        display->mainchatJump(int(settings) % view->linkCount());
    // Paint it, as the window would.
    QImage image(view->viewport()->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter painter(&image);
    view->viewport()->render(&painter);
    painter.end();
    services->prompts.messages.clear();
    // Emptied here rather than at the next input, so that an input frees
    // what it made (LeakSanitizer then has no reason to look).
    display->ClearMainChat1Click();
    return 0;
}
