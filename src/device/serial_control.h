#pragma once

#include "port_lock.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

// The serial control of the device link: a numbered port with fixed line
// settings (9600 baud, 8 data bits, no parity, 1 stop bit, raw bytes), written
// to as text and read as bytes, with a notification on the event thread as soon
// as a received byte waits.
class MSComm : public QObject {
    Q_OBJECT
public:
    static constexpr qint16 comEvReceive = 2;

    explicit MSComm(QString program_dir, QObject* parent = nullptr);

    qint16 CommPort() const { return port_number; }
    void setCommPort(qint16 n) { port_number = n; }
    // The device file that the port number stands for.
    QString PortDevice() const;

    bool PortOpen() const { return port.isOpen(); }
    // Opens the selected port (true) or closes it (false); returns whether the
    // requested state was reached. A device that another program holds stays
    // closed. Closing first lets every byte handed over leave at the line's
    // own settings.
    bool setPortOpen(bool open);

    // Hands the characters to the operating system, one byte each, before
    // returning; returns false when the system did not take them in time.
    bool Output(const QString& text);
    // Every byte received and not read yet.
    QByteArray Input();
    qint16 CommEvent() const { return event_code; }

signals:
    void OnComm();
    // The device went away (hang-up, I/O error, node removed); the port is closed.
    void LineLost();

private:
    void data_arrived();
    void line_failed(QSerialPort::SerialPortError error);
    bool device_gone() const;
    void drain();
    void close_port();

    QString program_dir;
    PortLock lock; // held while the port is open
    QSerialPort port;
    qint16 port_number = 1;
    qint16 event_code = 0;
};
