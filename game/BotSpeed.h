#pragma once

// The host's "Bot Speed" choices: the milliseconds between two steps of a
// computer player, which are also the tags of the menu items that set them.
namespace botspeed {

inline constexpr int slowMs = 1000;
inline constexpr int normalMs = 750; // the initial setting
inline constexpr int fastMs = 400;

} // namespace botspeed
