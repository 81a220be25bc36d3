#pragma once

// What the process is called and may do, settled before the QApplication exists.

// The organisation and application names (which QSettings files its settings under:
// ~/.config/org.example/corvale.conf), the version and the desktop entry's name. Set here only.
void nameApplication();

// Where no session bus runs, makes every library's look-up of it fail at once. Qt's
// accessibility bridge and menu bar, and the keyring, each look for the session bus, and where
// there is none D-Bus autolaunches one (dbus-launch, a dbus-daemon, then the keyring daemon the
// bus starts), which outlives the program.
void forbidBusAutolaunch();
