#pragma once

#include <QString>

// The fixed texts of the help window's pages, numbered 1 to 6 in the order
// of its page buttons: Overview, Connecting, Game Play, Scoring,
// Documentation, Options.
class HelpPages {
public:
    HelpPages() = delete;

    static constexpr int count = 6;

    // The page's button caption; empty for any other number.
    static QString caption(int n);
    // The page's rich text, starting with its title line.
    static QString text(int n);
};
