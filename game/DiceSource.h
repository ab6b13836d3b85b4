#pragma once

// Where the dice get their faces. The server rolls from a real generator;
// tests and the fuzz harness hand in a scripted one.
class DiceSource {
public:
    virtual ~DiceSource() = default;
    // A face 0 to 5 (meaning the pips 1 to 6).
    virtual int face() = 0;
};
