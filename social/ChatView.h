#pragma once

#include "social/ChatLines.h"
#include "social/ChatSelection.h"
#include "social/ChatStyle.h"

#include <QAbstractScrollArea>
#include <QFontMetricsF>
#include <QPixmap>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// A read-only rich text view made of lines of items: text runs, each in one of
// 15 shared styles, and pictures from an image list. Runs in the link style
// are links; a click on one reports its number, its position among all link
// runs counted from the top. Text is painted as given, never read as markup.
//
// The view keeps a layout per line (where each piece of each run sits, and
// the line's height). Appending a run or a picture invalidates only the line
// it goes to, so laying out after an append costs that line alone. Style
// changes take effect at the next format(): lines whose fonts changed are laid
// out again then, colours simply repaint. A change of width lays out every
// line again, lazily, at the next paint or query.
//
// The view keeps a bounded history: when a new line would make more than
// maxLines(), the oldest tenth of them goes, so that a long game or a flood
// of lines costs the same to append to as a short chat. Link numbers always
// count the links now in the view, so a click still reports the number that
// linkText() resolves after old lines were dropped.
class ChatView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int styleCount = ChatLines::styleCount;
    static constexpr int linkStyle = ChatLines::linkStyle;
    static constexpr int sideMargin = 5;
    // $00AECAD2 in $00BBGGRR form.
    static constexpr QRgb background = 0xFFD2CAAE;
    static constexpr int defaultMaxLines = 2000;

    // What the view holds, as tests and callers see it.
    using Item = ChatLines::Item;

    explicit ChatView(QWidget* parent = nullptr);

    // The image list, as resource paths; pictures load on first use.
    void setImageList(const QStringList& paths);
    int imageCount() const { return int(m_imagePaths.size()); }

    // The style table. Changes show at the next format().
    const ChatStyle& style(int n) const { return m_styles.at(n); }
    void setStyle(int n, const ChatStyle& style);

    // A text run in a style, starting a new line or continuing the last one.
    void addText(const QString& text, int style, bool newLine);
    // A picture of the image list, continuing the last line.
    void addPicture(int image);
    // Takes the style table in and lays out again at the next paint; the view
    // returns to its top.
    void format();
    void scrollToEnd();
    void clear();
    // The most lines the view keeps (at least 10); older ones are dropped
    // from the top, a tenth at a time.
    int maxLines() const { return m_maxLines; }
    void setMaxLines(int lines);

    void selectAll();
    bool hasSelection() const;
    // The selected text, lines joined by CR LF; pictures give nothing.
    QString selectedText() const;
    // Puts the selected text on the clipboard (nothing without a selection).
    void copy() const;

    int lineCount() const { return int(m_lines.size()); }
    QList<Item> lineItems(int line) const { return m_lines.lineItems(line); }
    QList<Item> items() const { return m_lines.items(); }
    int linkCount() const { return m_lines.linkCount(); }
    // The text of link number n as shown; a null string for no such link.
    QString linkText(int number) const { return m_lines.linkText(number); }

    // Geometry, in viewport coordinates (laying out first if needed).
    QRect linkRect(int number);
    int contentHeight();
    // How many single-line layouts the view has made: appending one line
    // must add one, not the whole chat.
    qint64 lineLayouts() const { return m_lineLayouts; }

signals:
    void linkClicked(int number);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    using Line = ChatLines::Line;
    using Run = ChatLines::Run;
    using Piece = ChatLines::Piece;
    using Row = ChatLines::Row;

    using Position = ChatSelection::Position;
    struct Hit {
        Position pos;
        int link = -1;
    };

    // Drops the oldest lines when a new line would overfill the history.
    void makeRoom(bool newLine);
    void dropOldest(int count);
    void takeStyles();
    void ensureLayout();
    void layoutLine(Line& line);
    void updateScrollBar();
    const QFontMetricsF& metrics(int style);
    const QFont& font(int style);
    QPixmap image(int index);
    Hit hitTest(const QPoint& pos);
    std::pair<int, int> selectionIn(int line) const;
    void paintLine(QPainter& painter, int index, int dy);

    std::array<ChatStyle, styleCount> m_styles;
    std::array<ChatStyle, styleCount> m_shown; // the table the layout uses
    std::array<std::optional<QFontMetricsF>, styleCount> m_metrics;
    std::array<std::optional<QFont>, styleCount> m_fonts;
    QStringList m_imagePaths;
    std::vector<QPixmap> m_images;
    std::vector<bool> m_imageLoaded;

    ChatLines m_lines;
    ChatLines::Measures m_measures;
    int m_maxLines = defaultMaxLines;
    int m_layoutWidth = 0;
    size_t m_dirtyFrom = 0;    // lines from here on need a layout
    quint16 m_dirtyStyles = 0; // lines using these styles need a layout
    bool m_dirtyAll = false;   // the width changed: every line needs a layout
    // The line and the offset into it that a relayout for a new width keeps
    // at the top of the viewport (line -1: keep the end in view).
    std::optional<std::pair<int, int>> m_keep;
    qint64 m_lineLayouts = 0;

    ChatSelection m_selection;
    bool m_selecting = false;
    int m_pressLink = -1;
};
