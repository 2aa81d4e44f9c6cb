#pragma once

#include <functional>

// The ends the toolkit chooses itself. Until started(), Qt's messages are
// held back, so that a toolkit that cannot start at all (no display) is told
// in one line, with exit status 1. From started() on, an exit() of the
// toolkit (the display connection broke: the X server died, or the window was
// killed) and a fatal error, a warning made fatal included, first run
// `hand_back` once, so that control goes back to the front panel as when the
// window closes.
class ToolkitEnd {
public:
    ToolkitEnd();
    ToolkitEnd(const ToolkitEnd&) = delete;
    ToolkitEnd& operator=(const ToolkitEnd&) = delete;

    // The toolkit is up: the held messages go out.
    void started(std::function<void()> hand_back);
};
