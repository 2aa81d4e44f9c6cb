// indi_lumivane: the entry points indiserver calls, handed to the one device.
#include "lumivane_driver.h"

#include <memory>

static const std::unique_ptr<LumivaneDriver> driver(new LumivaneDriver());

void ISGetProperties(const char* dev) {
    driver->ISGetProperties(dev);
}

void ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) {
    driver->ISNewSwitch(dev, name, states, names, n);
}

void ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) {
    driver->ISNewText(dev, name, texts, names, n);
}

void ISNewNumber(const char* dev, const char* name, double values[], char* names[], int n) {
    driver->ISNewNumber(dev, name, values, names, n);
}

void ISNewBLOB(const char*, const char*, int[], int[], char*[], char*[], char*[], int) {}

void ISSnoopDevice(XMLEle* root) {
    driver->ISSnoopDevice(root);
}
