#pragma once

#include <defaultdevice.h>
#include <indilightboxinterface.h>
#include <indipropertynumber.h>
#include <indipropertyswitch.h>

// A device with libindi's light-box properties: FLAT_LIGHT_CONTROL,
// FLAT_LIGHT_INTENSITY, and intensities per filter taken from a filter wheel's
// names and slot. The device itself answers requests to the first two. This
// is the one place that touches libindi's light-box interface, which libindi
// 2.1 renamed: a port to it is an edit here.
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
    void saveLightBoxConfig(FILE* fp);
    // FLAT_LIGHT_ON first, FLAT_LIGHT_OFF second.
    INDI::PropertySwitch light();
    INDI::PropertyNumber intensity();
    // The intensity a filter's preset asks for when the filter wheel moves.
    virtual void intensity_preset(double percent) = 0;

private:
    bool SetLightBoxBrightness(uint16_t value) override;
};
