#pragma once

#include "device/panel_view.h"

#include <QStringList>

// A panel that writes down every change a report makes, in order, with the
// lamps' colours by name.
class RecordingPanel : public PanelView {
public:
    void setShape1BackColor(qint16 Index, Colour c) override { add("Shape1(%1)=", Index, c); }
    void setShape3BackColor(Colour c) override { log << "Shape3=" + name(c); }
    void setShape4BackColor(qint16 Index, Colour c) override { add("Shape4(%1)=", Index, c); }
    void setLabel1Caption(qint16 Index, const QString& caption) override {
        log << QStringLiteral("Label1(%1)=%2").arg(Index).arg(caption);
    }
    void View_init(qint16 f) override { log << QStringLiteral("View_init(%1)").arg(f); }

    QStringList log;

private:
    void add(const char* format, qint16 Index, Colour c) {
        log << QString(format).arg(Index) + name(c);
    }
    // Unlit is the scheme's window colour; grey is a lamp's before any report.
    static QString name(Colour c) {
        const QList<Colour> lamps{colour_red, colour_orange, colour_window, colour_menu,
                                  colour_lamp_start};
        return QStringList{"red", "orange", "unlit", "menu", "grey"}.value(lamps.indexOf(c), "?");
    }
};
