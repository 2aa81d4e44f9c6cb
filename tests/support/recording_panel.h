#pragma once

#include "device/panel_view.h"

#include <QStringList>

// A panel that writes down every change a report makes, in order.
class RecordingPanel : public PanelView {
public:
    void setShape1BackColor(qint16 Index, Colour c) override { log << entry("Shape1", Index, c); }
    void setShape3BackColor(Colour c) override { log << entry("Shape3", -1, c); }
    void setShape4BackColor(qint16 Index, Colour c) override { log << entry("Shape4", Index, c); }
    void setLabel1Caption(qint16 Index, const QString& caption) override {
        log << QStringLiteral("Label1(%1)=%2").arg(Index).arg(caption);
    }
    void View_init(qint16 f) override { log << QStringLiteral("View_init(%1)").arg(f); }

    QStringList log;

private:
    static QString entry(const char* name, int index, Colour c) {
        const QString n = index < 0 ? QString::fromLatin1(name)
                                    : QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
        return QStringLiteral("%1=%2").arg(n).arg(c, 0, 16);
    }
};
