#pragma once

#include "protocol/report.h"

#include <QByteArray>
#include <defaultdevice.h>
#include <indilightboxinterface.h>
#include <indipropertynumber.h>
#include <indipropertyswitch.h>

namespace Connection {
class Serial;
}

// The inverter as an INDI light box, so that imaging suites can light flat
// fields: the intensity sets the duty, and the frequency, control source,
// adjustment mode and camera shutter are properties of their own. What the
// inverter reports, the front-panel knob included, shows in the properties.
class LumivaneDriver : public INDI::DefaultDevice, public INDI::LightBoxInterface {
public:
    LumivaneDriver();

    void ISGetProperties(const char* dev) override;
    bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                     int n) override;
    bool ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                     int n) override;
    bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;
    bool ISSnoopDevice(XMLEle* root) override;

protected:
    const char* getDefaultName() override { return "Lumivane"; }
    bool initProperties() override;
    bool updateProperties() override;
    bool Connect() override;
    bool Disconnect() override;
    bool saveConfigItems(FILE* fp) override;
    bool SetLightBoxBrightness(uint16_t value) override;
    bool EnableLightBox(bool enable) override;

private:
    bool Handshake();
    bool send(const QByteArray& command);
    bool send_duty(int percent);
    // Reads what the line holds and applies every report it completes, in
    // order; false when the device is gone.
    bool receive();
    void apply(const Report& report);
    void line_lost();
    void start_exposure(double seconds);
    void end_exposure();
    void cancel_exposure();

    Connection::Serial* serial = nullptr;
    int port = -1;
    QByteArray RX_buf;
    int reader = -1;   // the read callback while connected
    int exposure = -1; // the timer that releases the shutter

    INDI::PropertySwitch ControlSP{2};
    INDI::PropertySwitch ModeSP{2};
    INDI::PropertySwitch ShutterSP{2};
    INDI::PropertyNumber ExposureNP{1};
    INDI::PropertyNumber FrequencyNP{1};
};
