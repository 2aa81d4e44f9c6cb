// indi_lumivane: the entry points indiserver calls, handed to the one device.
#include "lumivane_driver.h"
#include "shared/ending_signals.h"

#include <cstdlib>
#include <memory>
#include <sys/signalfd.h>

namespace {

// SIGTERM, SIGHUP and SIGINT are blocked before anything can start a thread,
// so that every thread inherits the mask, and end the driver in libindi's
// event loop through exit(), as libindi does when indiserver closes the
// driver's input: the driver hands control back at its exit.
const sigset_t ending = EndingSignals::block();
const std::unique_ptr<LumivaneDriver> driver(new LumivaneDriver());
const int ends_on_signal = IEAddCallback(
    signalfd(-1, &ending, SFD_CLOEXEC), [](int, void*) { std::exit(0); }, nullptr);

} // namespace

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
