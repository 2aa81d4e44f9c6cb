#pragma once

#include "device/panel_view.h"

#include <QStringList>

// A panel that writes down every change a report makes, in order.
class RecordingPanel : public PanelView {
public:
    void setShape1BackColor(qint16 Index, Colour c) override { add("Shape1(%1)=%2", Index, c); }
    void setShape3BackColor(Colour c) override { log << QStringLiteral("Shape3=%1").arg(c, 0, 16); }
    void setShape4BackColor(qint16 Index, Colour c) override { add("Shape4(%1)=%2", Index, c); }
    void setLabel1Caption(qint16 Index, const QString& caption) override {
        log << QStringLiteral("Label1(%1)=%2").arg(Index).arg(caption);
    }
    void View_init(qint16 f) override { log << QStringLiteral("View_init(%1)").arg(f); }

    QStringList log;

private:
    void add(const char* format, qint16 Index, Colour c) {
        log << QString::fromLatin1(format).arg(Index).arg(c, 0, 16);
    }
};
