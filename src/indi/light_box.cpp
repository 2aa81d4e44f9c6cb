#include "light_box.h"

#if LUMIVANE_LIGHT_BOX_2

LightBoxDevice::LightBoxDevice() : LightBoxInterface(this) {}

void LightBoxDevice::initLightBox(const char* group, double max, double step) {
    LightBoxInterface::initProperties(group, CAN_DIM);
    LightIntensityNP[0].setMinMax(0, max);
    LightIntensityNP[0].setStep(step);
    LightIntensityNP[0].setValue(0);
}

void LightBoxDevice::ISGetProperties(const char* dev) {
    INDI::DefaultDevice::ISGetProperties(dev);
    LightBoxInterface::ISGetProperties(dev);
}

void LightBoxDevice::updateLightBox() {
    LightBoxInterface::updateProperties();
}

void LightBoxDevice::saveLightBoxConfig(FILE* fp) {
    // libindi saves the intensity only while there are no filter intensities;
    // it comes back at every connect, filters or not.
    LightBoxInterface::saveConfigItems(fp);
    if (!FilterIntensityNP.isEmpty()) LightIntensityNP.save(fp);
}

INDI::PropertySwitch LightBoxDevice::light() {
    return LightSP;
}

INDI::PropertyNumber LightBoxDevice::intensity() {
    return LightIntensityNP;
}

bool LightBoxDevice::ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                                 int n) {
    if (dev != nullptr && processNumber(dev, name, values, names, n)) return true;
    return INDI::DefaultDevice::ISNewNumber(dev, name, values, names, n);
}

bool LightBoxDevice::ISNewText(const char* dev, const char* name, char* texts[], char* names[],
                               int n) {
    if (dev != nullptr && processText(dev, name, texts, names, n)) return true;
    return INDI::DefaultDevice::ISNewText(dev, name, texts, names, n);
}

bool LightBoxDevice::ISSnoopDevice(XMLEle* root) {
    snoop(root);
    return INDI::DefaultDevice::ISSnoopDevice(root);
}

#else

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

bool LightBoxDevice::ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                                 int n) {
    if (dev != nullptr && processLightBoxNumber(dev, name, values, names, n)) {
        // The filter intensities are kept at once, as libindi 2 keeps them.
        saveConfig(true, name);
        return true;
    }
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

#endif

bool LightBoxDevice::SetLightBoxBrightness(uint16_t value) {
    intensity_preset(value);
    // The intensity property already shows what the inverter model made of the
    // preset; true would have libindi 2 show the preset itself, Ok, before the
    // inverter confirms it (libindi 1.9 takes no notice of the answer).
    return false;
}
