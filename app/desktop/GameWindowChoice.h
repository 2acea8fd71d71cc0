// The user's own pick of the game's window, for a game the configured names
// do not find: a menu item lists the shown windows, and the pick is kept in
// the user defaults under "gameWindow" (the window's class, else its title).
#pragma once

#include <QSettings>

#include <functional>
#include <string>

namespace kv {

class GameWindowCapture;
class MainWindow;

inline constexpr char gameWindowKey[] = "gameWindow";

std::string storedGameWindow(const QSettings& settings);

void addGameWindowChoice(MainWindow& window, GameWindowCapture& capture, QSettings& settings,
                         std::function<void(const std::string&)> log);

} // namespace kv
