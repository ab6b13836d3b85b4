#pragma once

#include <QFontMetricsF>
#include <QList>
#include <QPixmap>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

// The lines of the chat view, without the widget: each line is its text (one
// U+FFFC stands for each picture) cut into runs, a run being text in one of
// the shared styles or a picture of the image list, and the line's layout
// once it has been laid out. A line knows how many links come before it, so
// finding link number n is a search rather than a count of the whole chat.
class ChatLines {
public:
    static constexpr int styleCount = 15;
    static constexpr int linkStyle = 4;
    static constexpr QChar pictureChar = QChar(0xFFFC);
    // Pictures sit this far below the baseline, about where the letters' tails end.
    static constexpr int pictureDrop = 3;

    // What a line holds, as tests and callers see it.
    struct Item {
        bool picture = false;
        int style = -1; // text runs
        QString text;   // text runs
        int image = -1; // pictures
        bool startsLine = false;
        bool operator==(const Item& other) const = default;
    };
    struct Run {
        int start;
        int length;
        qint16 style; // -1 for a picture
        qint16 image; // -1 for text
    };
    // A piece of a run placed on one row of its line.
    struct Piece {
        int run;
        int from;
        int length;
        float x;
        float width;
        int row;
    };
    struct Row {
        int top; // from the line's top
        int height;
        int baseline; // from the row's top
    };
    struct Line {
        QString text;
        std::vector<Run> runs;
        quint16 styles = 0; // bit s: the line uses style s
        int links = 0;
        int linksBefore = 0;
        // Layout cache.
        int top = 0;
        int height = 0;
        std::vector<Piece> pieces;
        std::vector<Row> rows;
    };
    // What laying out needs to know of the styles and the pictures.
    struct Measures {
        std::function<const QFontMetricsF&(int style)> metrics;
        std::function<QPixmap(int image)> image;
    };

    bool empty() const { return m_lines.empty(); }
    size_t size() const { return m_lines.size(); }
    Line& operator[](size_t i) { return m_lines[i]; }
    const Line& operator[](size_t i) const { return m_lines[i]; }
    Line& front() { return m_lines.front(); }
    const Line& front() const { return m_lines.front(); }
    Line& back() { return m_lines.back(); }
    const Line& back() const { return m_lines.back(); }
    std::vector<Line>::const_iterator begin() const { return m_lines.begin(); }
    std::vector<Line>::const_iterator end() const { return m_lines.end(); }

    // A text run (its style clamped to the table) or a picture; a run that
    // starts a new line, or the first run of all, makes a new line.
    void addText(const QString& text, int style, bool newLine);
    void addPicture(int image);
    // Drops the first lines; returns how many links went with them. The
    // links of the lines left are numbered from 0 again.
    int dropFront(int count);
    void clear();

    int linkCount() const;
    // The text of link number n; a null string for no such link.
    QString linkText(int number) const;
    // The link number of a run of the line, or -1 when it is no link.
    static int linkOfRun(const Line& line, int run);
    QList<Item> lineItems(int line) const;
    QList<Item> items() const;
    // The text of the runs of a line between two offsets; pictures give nothing.
    QString textBetween(int line, int from, int to) const;

    // Sets the tops of lines [from, to) from the heights of their layouts,
    // the first line at `firstTop`.
    void placeTops(size_t from, size_t to, int firstTop);
    // The last line whose top is at or above y (0 when none is).
    int lineAt(int y) const;

    // Places the runs of one line on rows no wider than width.
    static void layout(Line& line, float width, const Measures& measures);
    // The character boundary of a laid-out text piece nearest to x.
    static int offsetAt(const Line& line, const Piece& piece, float x, const QFontMetricsF& fm);
    // The word around an offset of the line: from its start to before the
    // blank or picture that ends it.
    static std::pair<int, int> wordAround(const Line& line, int offset);

private:
    Line& lineForAppend(bool newLine);

    std::vector<Line> m_lines;
};
