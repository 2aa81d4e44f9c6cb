#pragma once

#include "shared/toolkit.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>
#include <cstdlib>

// The desktop services with every call recorded and no modal box shown.
class RecordingToolkit : public Toolkit {
public:
    struct Box {
        QString prompt;
        int buttons;
        QString title;
    };

    int MsgBox(const QString& prompt, int buttons, const QString& title) override {
        boxes.append({prompt, buttons, title});
        return answer;
    }
    void Beep() override { ++beeps; }
    void DoEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    void PlaySound(const QString& path) override { sounds.append(path); }
    [[noreturn]] void End() override { std::_Exit(ended_exit_code); }

    QList<Box> boxes;
    int answer = vbOK;
    int beeps = 0;
    QStringList sounds;
    int ended_exit_code = 0;
};
