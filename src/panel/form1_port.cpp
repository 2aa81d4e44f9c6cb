// The port selector, the port file and the connect routine.
#include "form1.h"
#include "protocol/numbers.h"
#include "protocol/wire.h"
#include "store/port_file.h"

QString Form1::port_file() const {
    return settings_dir + QStringLiteral("/com_no.txt");
}

void Form1::load_comm() {
    const std::optional<qint16> n = read_port_file(port_file());
    if (!n) return;
    Combo1->setText(QStringLiteral("COM%1").arg(*n));
    comm.MSComm1.setCommPort(*n);
}

void Form1::Save_comm(const QString& comm_ch) {
    write_port_file(port_file(), comm_ch);
}

void Form1::Combo1_Click() {
    comm.COMM1close();
    const QString text = Combo1->currentText();
    for (qint16 n = inverter::port_min; n <= inverter::port_max; ++n) {
        if (text == QStringLiteral("COM%1").arg(n)) {
            Save_comm(QString::number(n));
            comm.MSComm1.setCommPort(n);
            break;
        }
    }
    comm.COMM1open();
}

void Form1::show_port_in_force() {
    Combo1->setText(QStringLiteral("COM%1").arg(comm.MSComm1.CommPort()));
}

void Form1::Command3_Click(qint16 Index) {
    if (Index == 0) {
        comm.COMM1open();
    } else if (Index == 1) {
        comm.MODE_Com(QLatin1String(wire::front_panel_control));
        if (comm.MSComm1.PortOpen()) comm.COMM1close();
    }
}
