#pragma once

#include <defaultdevice.h>
#include <indilightboxinterface.h>
#include <indipropertynumber.h>
#include <indipropertyswitch.h>

// libindi 2.1 rewrote the light-box interface: property objects instead of
// vectors, and new names for its hooks. The build passes the version that
// libindi's pkg-config file reports, since the header of 2.1.0 does not carry
// it; this file and light_box.cpp are the only ones that differ between the two.
#define LUMIVANE_LIGHT_BOX_2                                                                       \
    (LUMIVANE_LIBINDI_MAJOR > 2 || (LUMIVANE_LIBINDI_MAJOR == 2 && LUMIVANE_LIBINDI_MINOR >= 1))

// A device with libindi's light-box properties: FLAT_LIGHT_CONTROL,
// FLAT_LIGHT_INTENSITY, and intensities per filter taken from a filter wheel's
// names and slot (ACTIVE_DEVICES, FLAT_LIGHT_FILTER_INTENSITY). The device
// itself answers requests to the first two: libindi's handlers would take a
// value before checking it and show it Ok before the inverter confirms it.
// libindi keeps the filter intensities and hands a filter's intensity to
// intensity_preset() when the wheel moves to it.
class LightBoxDevice : public INDI::DefaultDevice, public INDI::LightBoxInterface {
public:
    void ISGetProperties(const char* dev) override;
    bool ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                     int n) override;
    bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;
    bool ISSnoopDevice(XMLEle* root) override;

protected:
    LightBoxDevice();

    // Makes the properties, the intensity in percent from 0 to `max`.
    void initLightBox(const char* group, double max, double step);
    // Defines the properties while connected and deletes them otherwise.
    void updateLightBox();
    // The active devices, the filter intensities and the intensity.
    void saveLightBoxConfig(FILE* fp);
    // FLAT_LIGHT_ON first, FLAT_LIGHT_OFF second.
    INDI::PropertySwitch light();
    INDI::PropertyNumber intensity();
    // The intensity a filter's preset asks for when the filter wheel moves.
    virtual void intensity_preset(double percent) = 0;

private:
    bool SetLightBoxBrightness(uint16_t value) override;
};
