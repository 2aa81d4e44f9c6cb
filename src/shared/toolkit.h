#pragma once

#include <QString>

// The desktop services the panel and the device link use besides widgets:
// message boxes, the beep, event processing, the sound and ending the program.
// One implementation talks to Qt; tests put in one that records the calls.
class Toolkit {
public:
    // Message box styles and answers, combined as the panel's callers know them.
    static constexpr int vbOKOnly = 0;
    static constexpr int vbOKCancel = 1;
    static constexpr int vbExclamation = 48;
    static constexpr int vbOK = 1;
    static constexpr int vbCancel = 2;

    virtual ~Toolkit() = default;

    // Shows a modal box and returns the button pressed.
    virtual int MsgBox(const QString& prompt, int buttons, const QString& title) = 0;
    virtual void Beep() = 0;
    // Runs every pending event, and the handlers they trigger, to its end.
    virtual void DoEvents() = 0;
    // Starts playing a sound file in the background; failures are silent.
    virtual void PlaySound(const QString& path) = 0;
    // Ends the program at once: no further handler runs.
    [[noreturn]] virtual void End() = 0;
};
