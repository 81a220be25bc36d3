#pragma once

class ConsoleWindow;

// What the console keeps between runs, in the settings' console group: written and read in one
// place, so that each key is spelt once and the window keeps to its views.
class ConsoleSettings
{
public:
    // The operator's choices the window holds beside its widgets.
    struct Choices
    {
        int longCallMinutes;
        bool confirmHangups;
    };

    static void save(const ConsoleWindow& window, const Choices& choices);
    // Puts the widgets back as they were left; the choices are the window's to apply.
    static Choices restore(ConsoleWindow& window);
};
