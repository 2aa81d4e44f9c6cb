#pragma once

#include "shared/toolkit.h"

#include <memory>

class QMediaPlayer;
class QAudioOutput;

// The desktop services on Qt: message boxes, beep, events, sound, exit.
class QtToolkit : public Toolkit {
public:
    QtToolkit();
    ~QtToolkit() override;

    int MsgBox(const QString& prompt, int buttons, const QString& title) override;
    void Beep() override;
    void DoEvents() override;
    void PlaySound(const QString& path) override;
    [[noreturn]] void End() override;

private:
    // Made on the first sound, so that start-up does not load the media stack.
    std::unique_ptr<QAudioOutput> audio;
    std::unique_ptr<QMediaPlayer> player;
};
