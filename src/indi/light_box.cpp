#include "light_box.h"

LightBoxDevice::LightBoxDevice() : LightBoxInterface(this, true) {}

void LightBoxDevice::initLightBox(const char* group, double max, double step) {
    initLightBoxProperties(getDeviceName(), group);
    LightIntensityN[0].min = 0;
    LightIntensityN[0].max = max;
    LightIntensityN[0].step = step;
    LightIntensityN[0].value = 0;
}

void LightBoxDevice::ISGetProperties(const char* dev) {
    INDI::DefaultDevice::ISGetProperties(dev);
    isGetLightBoxProperties(dev);
}

void LightBoxDevice::updateLightBox() {
    if (isConnected()) {
        defineProperty(&LightSP);
        defineProperty(&LightIntensityNP);
    } else {
        deleteProperty(LightSP.name);
        deleteProperty(LightIntensityNP.name);
    }
    updateLightBoxProperties();
}

void LightBoxDevice::saveLightBoxConfig(FILE* fp) {
    saveLightBoxConfigItems(fp);
    IUSaveConfigNumber(fp, &LightIntensityNP);
}

INDI::PropertySwitch LightBoxDevice::light() {
    return INDI::Property(&LightSP);
}

INDI::PropertyNumber LightBoxDevice::intensity() {
    return INDI::Property(&LightIntensityNP);
}

bool LightBoxDevice::SetLightBoxBrightness(uint16_t value) {
    intensity_preset(value);
    return true;
}

bool LightBoxDevice::ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                                 int n) {
    if (dev != nullptr && processLightBoxNumber(dev, name, values, names, n)) return true;
    return INDI::DefaultDevice::ISNewNumber(dev, name, values, names, n);
}

bool LightBoxDevice::ISNewText(const char* dev, const char* name, char* texts[], char* names[],
                               int n) {
    if (dev != nullptr && processLightBoxText(dev, name, texts, names, n)) return true;
    return INDI::DefaultDevice::ISNewText(dev, name, texts, names, n);
}

bool LightBoxDevice::ISSnoopDevice(XMLEle* root) {
    snoopLightBox(root);
    return INDI::DefaultDevice::ISSnoopDevice(root);
}
