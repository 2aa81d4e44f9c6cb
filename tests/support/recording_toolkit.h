#pragma once

#include "shared/toolkit.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdlib>

// The desktop services with every call recorded and no modal box shown.
class RecordingToolkit : public Toolkit {
public:
    int MsgBox(const QString& message, int, const QString& title) override {
        boxes.append(title);
        messages.append(message);
        return vbOK;
    }
    void Beep() override { ++beeps; }
    void DoEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    void PlaySound(const QString& path) override { sounds.append(path); }
    [[noreturn]] void End() override { std::abort(); } // nothing under test ends the program

    QStringList boxes; // their titles
    QStringList messages;
    int beeps = 0;
    QStringList sounds;
};
