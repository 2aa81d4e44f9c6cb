#pragma once

#include "measure.h"
#include "panel/form1.h"

#include <functional>

// The panel with the duty read-out's updates timestamped.
class TimedForm : public Form1 {
public:
    using Form1::Form1;

    void setLabel1Caption(qint16 Index, const QString& caption) override {
        const Clock::time_point now = Clock::now();
        Form1::setLabel1Caption(Index, caption);
        if (Index != 0) return;
        duty_at = now;
        duty_caption = caption;
        if (on_duty) on_duty();
    }

    Clock::time_point duty_at;
    QString duty_caption;
    std::function<void()> on_duty;
};
