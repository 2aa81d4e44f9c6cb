#include "lumivane_driver.h"

#include "client_request.h"
#include "device/port_lock.h"
#include "protocol/numbers.h"

#include <algorithm>
#include <cerrno>
#include <connectionplugins/connectionserial.h>
#include <cstdlib>
#include <cstring>
#include <indicom.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using inverter::Clock;
using inverter::Shown;
using inverter::State;
using inverter::Status;

// The serial connection, held by this driver alone, and closed without
// discarding what is still queued.
class InverterLine : public Connection::Serial {
public:
    explicit InverterLine(INDI::DefaultDevice* device) : Connection::Serial(device) {
        // When the chosen port fails, other ports are not probed: the handshake
        // would send the inverter's command to whatever device is there.
        AutoSearchS[0].s = ISS_OFF;
        AutoSearchS[1].s = ISS_ON;
    }

    // The last command drains to the inverter before the port closes; the
    // library's flush at closing would discard what the far end has not read.
    bool Disconnect() override {
        close_port();
        return true;
    }

protected:
    bool Connect(const char* port, uint32_t baud) override {
        // The lock comes first: opening sets the line up, which must not touch
        // a line another program is using.
        std::string why;
        switch (lock.take(port, why)) {
        case PortLock::Outcome::taken:
            break;
        case PortLock::Outcome::in_use:
            LOGF_ERROR("%s is in use by another program.", port);
            return false;
        case PortLock::Outcome::failed:
            LOGF_ERROR("Cannot open %s: %s.", port, why.c_str());
            return false;
        }
        if (Connection::Serial::Connect(port, baud)) return true;
        lock.release();
        return false;
    }

    // A connect given up has sent ":F#" (control back to the knob), which
    // drains before the port closes.
    bool processHandshake() override {
        if (Connection::Serial::processHandshake()) return true;
        close_port();
        return false;
    }

private:
    void close_port() {
        if (PortFD >= 0) {
            tcdrain(PortFD);
            // libindi opens the line in the terminal's exclusive mode, which
            // outlives the close while anything else holds the device open (a
            // simulator's end): other programs would be told it is busy.
            ioctl(PortFD, TIOCNXCL);
            close(std::exchange(PortFD, -1));
        }
        lock.release();
    }

    PortLock lock;
};

namespace {

// Members by position. The library's subscript takes a size_t: an int or a
// plain enum would be ambiguous with the built-in one where size_t is 32 bits.
enum : size_t { control_pc, control_front_panel };
enum : size_t { mode_voltage, mode_frequency };
enum : size_t { shutter_open, shutter_closed };
enum : size_t { first, second };

constexpr int percent_max = inverter::duty_code_max * inverter::percent_per_duty_code;
constexpr int hertz_min = inverter::frequency_code_min * inverter::hertz_per_frequency_code;
constexpr int hertz_max = inverter::frequency_code_max * inverter::hertz_per_frequency_code;

// The driver whose connection the program's exit ends.
LumivaneDriver* ending_driver = nullptr;

// Writes all of a command to the line; TTY_OK or libindi's error code.
int write_command(int fd, const QByteArray& command) {
    int written = 0;
    return tty_write(fd, command.constData(), int(command.size()), &written);
}

// Gives a property of one number the value saved in the configuration, if any.
void take_saved(INDI::PropertyNumber property) {
    INDI::WidgetView<INumber>& number = property[first];
    const char* device = property.getDeviceName();
    double saved = 0;
    if (IUGetConfigNumber(device, property.getName(), number.getName(), &saved) == 0)
        number.setValue(saved);
}

// Whole milliseconds from now until `t`, rounded up; 0 once it has passed.
int ms_until(Clock::time_point t) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(t - Clock::now()).count();
    return int(std::max<decltype(wait)>(wait, 0));
}

IPState property_state(Status status) {
    switch (status) {
    case Status::ok:
        return IPS_OK;
    case Status::busy:
        return IPS_BUSY;
    case Status::alert:
        return IPS_ALERT;
    case Status::idle:
        break;
    }
    return IPS_IDLE;
}

// Puts a shown value into its property: a pair's first switch stands for true.
template <typename T> void show(INDI::PropertyNumber property, const Shown<T>& shown) {
    property[first].setValue(double(shown.value));
    property.setState(property_state(shown.status));
}

void show(INDI::PropertySwitch property, const Shown<bool>& shown) {
    property[first].setState(shown.value ? ISS_ON : ISS_OFF);
    property[second].setState(shown.value ? ISS_OFF : ISS_ON);
    property.setState(property_state(shown.status));
}

} // namespace

LumivaneDriver::LumivaneDriver() {
    setVersion(LUMIVANE_VERSION_MAJOR, LUMIVANE_VERSION_MINOR);
}

bool LumivaneDriver::initProperties() {
    INDI::DefaultDevice::initProperties();
    initLightBox(MAIN_CONTROL_TAB, percent_max, inverter::percent_per_duty_code);
    FrequencyNP[first].fill("FREQUENCY_HZ", "Hz", "%.0f", hertz_min, hertz_max,
                            inverter::hertz_per_frequency_code, 0);
    FrequencyNP.fill(getDeviceName(), "FREQUENCY", "Frequency", MAIN_CONTROL_TAB, IP_RW, 0,
                     IPS_IDLE);
    ControlSP[control_pc].fill("CONTROL_PC", "PC", ISS_OFF);
    ControlSP[control_front_panel].fill("CONTROL_FRONT_PANEL", "Front panel", ISS_ON);
    ControlSP.fill(getDeviceName(), "CONTROL_SOURCE", "Control", MAIN_CONTROL_TAB, IP_RW,
                   ISR_1OFMANY, 0, IPS_IDLE);
    ModeSP[mode_voltage].fill("MODE_VOLTAGE", "Voltage", ISS_ON);
    ModeSP[mode_frequency].fill("MODE_FREQUENCY", "Frequency", ISS_OFF);
    ModeSP.fill(getDeviceName(), "ADJUST_MODE", "Knob sets", MAIN_CONTROL_TAB, IP_RW, ISR_1OFMANY,
                0, IPS_IDLE);
    ShutterSP[shutter_open].fill("SHUTTER_OPEN", "Open", ISS_OFF);
    ShutterSP[shutter_closed].fill("SHUTTER_CLOSED", "Closed", ISS_ON);
    ShutterSP.fill(getDeviceName(), "CAMERA_SHUTTER", "Shutter", MAIN_CONTROL_TAB, IP_RW,
                   ISR_1OFMANY, 0, IPS_IDLE);
    ExposureNP[first].fill("EXPOSURE_SECONDS", "Seconds", "%.1f", 0,
                           inverter::Model::longest_exposure, 0.1, 0);
    ExposureNP.fill(getDeviceName(), "SHUTTER_EXPOSURE", "Exposure", MAIN_CONTROL_TAB, IP_RW, 0,
                    IPS_IDLE);

    // Until a connection shows the inverter's, the intensity and frequency
    // are as saved, so that saving the whole configuration keeps them.
    for (INDI::PropertyNumber property : {intensity(), FrequencyNP})
        take_saved(property);

    setDriverInterface(AUX_INTERFACE | LIGHTBOX_INTERFACE);
    addDebugControl();
    addConfigurationControl();

    serial = new InverterLine(this);
    serial->registerHandshake([this] { return Handshake(); });
    registerConnection(serial);
    return true;
}

bool LumivaneDriver::updateProperties() {
    INDI::DefaultDevice::updateProperties();
    const State& now = model.state();
    show(light(), now.light_on);
    show(intensity(), now.intensity);
    show(FrequencyNP, now.frequency);
    show(ControlSP, now.pc_control);
    show(ModeSP, now.voltage_mode);
    show(ShutterSP, now.shutter_pressed);
    show(ExposureNP, now.exposure);
    shown = now;
    updateLightBox();
    for (INDI::Property property :
         {INDI::Property(FrequencyNP), INDI::Property(ControlSP), INDI::Property(ModeSP),
          INDI::Property(ShutterSP), INDI::Property(ExposureNP)}) {
        if (isConnected())
            defineProperty(property);
        else
            deleteProperty(property.getName());
    }
    if (isConnected()) {
        reader = IEAddCallback(
            serial->getPortFD(),
            [](int, void* self) {
                const char* why = nullptr;
                auto* driver = static_cast<LumivaneDriver*>(self);
                if (!driver->read_line(why)) driver->line_lost(why);
            },
            this);
        // What the client set last time: the frequency goes out once the PC
        // has control, the intensity when the light is turned on.
        loadConfig(true, intensity().getName());
        if (model.state().pc_control.value) loadConfig(true, FrequencyNP.getName());
    }
    return true;
}

bool LumivaneDriver::Connect() {
    // From the first connection on, the driver's end hands control back as a
    // disconnect does, however it comes: libindi exits when indiserver closes
    // the driver's input, and so do the ending signals (main.cpp). Registered
    // now, this runs before the exit destroys what libindi has made by then.
    if (!std::exchange(ending_driver, this)) std::atexit([] { ending_driver->hand_back(); });
    // The inverter's line runs at 9600 baud, 8N1, whatever was chosen before.
    serial->setDefaultBaudRate(Connection::Serial::B_9600);
    return INDI::DefaultDevice::Connect();
}

bool LumivaneDriver::Handshake() {
    tcflush(serial->getPortFD(), TCIFLUSH);
    react(model.open(Clock::now()));
    while (model.state().link == inverter::Link::answering) {
        pollfd p{serial->getPortFD(), POLLIN, 0};
        const int ready = poll(&p, 1, ms_until(model.next_deadline().value_or(Clock::now())));
        const char* why = nullptr;
        if (ready > 0 && !read_line(why)) {
            LOGF_ERROR("The inverter's line is gone (%s).", why);
            react(model.lost());
        } else if (ready <= 0) {
            react(model.tick(Clock::now()));
        }
    }
    return model.state().link == inverter::Link::online;
}

bool LumivaneDriver::Disconnect() {
    if (reader >= 0) IERmCallback(std::exchange(reader, -1));
    // Control goes back to the front-panel knob; the line drains it before closing.
    react(model.close());
    return INDI::DefaultDevice::Disconnect();
}

bool LumivaneDriver::read_line(const char*& why) {
    char bytes[512];
    const ssize_t n = read(serial->getPortFD(), bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n <= 0) {
        why = n == 0 ? "end of file" : strerror(errno);
        return false;
    }
    LOGF_DEBUG("<- %.*s", int(n), bytes);
    react(model.receive(QByteArrayView(bytes, n), Clock::now()));
    return true;
}

void LumivaneDriver::line_lost(const char* why) {
    LOGF_ERROR("The inverter's line is gone (%s).", why);
    if (reader >= 0) IERmCallback(std::exchange(reader, -1));
    react(model.lost());
    serial->Disconnect();
    setConnected(false, IPS_ALERT);
    updateProperties();
}

void LumivaneDriver::hand_back() {
    if (!isConnected()) return;
    // Quietly: indiserver has gone or is going, and libindi ends the program
    // at the first write to it that fails.
    for (const QByteArray& command : model.close().commands)
        write_command(serial->getPortFD(), command);
    serial->Disconnect();
}

void LumivaneDriver::send(const QByteArray& command) {
    const int result = write_command(serial->getPortFD(), command);
    if (result != TTY_OK) {
        char message[MAXRBUF];
        tty_error_msg(result, message, MAXRBUF);
        LOGF_ERROR("Cannot send %s to the inverter: %s", command.constData(), message);
        return;
    }
    LOGF_DEBUG("-> %s", command.constData());
}

void LumivaneDriver::react(const inverter::Step& step, const char* answered) {
    for (const QByteArray& command : step.commands)
        send(command);
    for (const QString& warning : step.warnings)
        LOGF_WARN("%s", qPrintable(warning));
    for (const QString& note : step.notes)
        LOGF_INFO("%s", qPrintable(note));
    publish(answered);
    schedule();
}

void LumivaneDriver::publish(const char* answered) {
    const State& now = model.state();
    // Properties exist only while connected; they take the state when defined.
    if (isConnected()) {
        const auto update = [&](auto property, auto field) {
            if (now.*field == shown.*field && !property.isNameMatch(answered ? answered : ""))
                return;
            show(property, now.*field);
            property.apply();
        };
        update(light(), &State::light_on);
        update(intensity(), &State::intensity);
        update(FrequencyNP, &State::frequency);
        update(ControlSP, &State::pc_control);
        update(ModeSP, &State::voltage_mode);
        update(ShutterSP, &State::shutter_pressed);
        update(ExposureNP, &State::exposure);
    }
    shown = now;
}

void LumivaneDriver::schedule() {
    if (timer >= 0) IERmTimer(std::exchange(timer, -1));
    const auto next = model.next_deadline();
    if (!next) return;
    timer = IEAddTimer(
        ms_until(*next),
        [](void* self) {
            auto* driver = static_cast<LumivaneDriver*>(self);
            driver->timer = -1;
            driver->react(driver->model.tick(Clock::now()));
        },
        this);
}

template <typename Property>
bool LumivaneDriver::handle(Property property, const std::string& refused, const Request& request,
                            double value) {
    const inverter::Step step = refused.empty() ? request(value, Clock::now()) : inverter::Step{};
    const std::string why = refused.empty() ? step.refused.toStdString() : refused;
    if (!why.empty()) {
        property.setState(IPS_ALERT);
        property.apply("%s", why.c_str());
        return false;
    }
    react(step, property.getName());
    return true;
}

bool LumivaneDriver::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                                 int n) {
    if (dev != nullptr && strcmp(dev, getDeviceName()) == 0) {
        using Pair = std::pair<INDI::PropertySwitch, Request>;
        const auto first_is = [this](auto set) {
            return [this, set](double member, Clock::time_point now) {
                return (model.*set)(member == 0, now);
            };
        };
        const Pair pairs[] = {{light(), first_is(&inverter::Model::set_light)},
                              {ControlSP, first_is(&inverter::Model::set_pc_control)},
                              {ModeSP, first_is(&inverter::Model::set_voltage_mode)},
                              {ShutterSP, first_is(&inverter::Model::set_shutter)}};
        for (const auto& [property, request] : pairs) {
            if (!property.isNameMatch(name)) continue;
            const ClientRequest asked = chosen_switch(property, states, names, n);
            handle(property, asked.refused, request, asked.value);
            return true;
        }
    }
    return LightBoxDevice::ISNewSwitch(dev, name, states, names, n);
}

bool LumivaneDriver::ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                                 int n) {
    if (dev != nullptr && strcmp(dev, getDeviceName()) == 0) {
        using Number = std::pair<INDI::PropertyNumber, Request>;
        const auto to = [this](auto set) {
            return [this, set](double value, Clock::time_point now) {
                return (model.*set)(value, now);
            };
        };
        const Number numbers[] = {{intensity(), to(&inverter::Model::set_intensity)},
                                  {FrequencyNP, to(&inverter::Model::set_frequency)},
                                  {ExposureNP, to(&inverter::Model::expose)}};
        for (const auto& [property, request] : numbers) {
            if (!property.isNameMatch(name)) continue;
            const ClientRequest asked = given_number(property, values, names, n);
            if (handle(property, asked.refused, request, asked.value) && !isConfigLoading() &&
                !ExposureNP.isNameMatch(name))
                keep_for_next_connection(property, asked.value);
            return true;
        }
    }
    return LightBoxDevice::ISNewNumber(dev, name, values, names, n);
}

void LumivaneDriver::keep_for_next_connection(INDI::PropertyNumber property, double asked) {
    // The property shows what the inverter confirmed so far; the configuration
    // keeps what the client asked.
    const double shown_value = property[first].getValue();
    property[first].setValue(asked);
    saveConfig(true, property.getName());
    property[first].setValue(shown_value);
}

void LumivaneDriver::intensity_preset(double percent) {
    const inverter::Step step = model.set_intensity(percent, Clock::now());
    if (!step.refused.isEmpty())
        LOGF_WARN("Filter intensity not set: %s", qPrintable(step.refused));
    react(step);
}

bool LumivaneDriver::saveConfigItems(FILE* fp) {
    // The library's own items, but for the polling period, which this driver
    // does not have.
    for (const char* name : {"DEBUG", "CONNECTION_MODE"})
        if (const INDI::PropertySwitch property = getSwitch(name); property.isValid())
            property.save(fp);
    serial->saveConfigItems(fp);
    INDI::Logger::saveConfigItems(fp);
    saveLightBoxConfig(fp);
    // 0 until a frequency is known, from the configuration or a connection.
    if (FrequencyNP[first].getValue() != 0) FrequencyNP.save(fp);
    return true;
}
