#pragma once

#include "panel_view.h"
#include "serial_control.h"
#include "shared/toolkit.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The device link: the one serial line to the inverter. It opens and closes the
// port, sends commands, cuts the inverter's reports out of the received bytes
// and shows them on the panel.
class COMM : public QObject {
    Q_OBJECT
public:
    // The sound is in program_dir; the comN port links are in settings_dir.
    COMM(PanelView& panel, Toolkit& toolkit, const QString& program_dir,
         const QString& settings_dir, QObject* parent = nullptr);

    // Opens the port with the current port number unless it is open; tells the
    // operator when no port can be opened.
    void COMM1open();
    void COMM1close();
    // Sends one command while the port is open; drops it silently otherwise.
    void MODE_Com(const QString& dat);
    // Applies one report frame (its text up to and including "#").
    void RX_data(const QString& dat);

    MSComm MSComm1;

private:
    void MSComm1_OnComm();
    void line_lost();

    PanelView& panel;
    Toolkit& toolkit;
    QString sound_file;
    QByteArray RX_buf;
};
