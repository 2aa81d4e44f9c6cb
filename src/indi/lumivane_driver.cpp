#include "lumivane_driver.h"

#include "protocol/code_text.h"
#include "protocol/framing.h"
#include "protocol/report_number.h"
#include "protocol/wire.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <connectionplugins/connectionserial.h>
#include <cstring>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The inverter answers ":O#" with its control report within this time.
constexpr int handshake_ms = 1000;
constexpr int duty_max = 50;      // code; percent = code x 2
constexpr int frequency_min = 10; // code; hertz = code x 10
constexpr int frequency_max = 70;

enum { control_pc, control_front_panel };
enum { mode_voltage, mode_frequency };
enum { shutter_open, shutter_closed };

QByteArray code_command(const char* prefix, int code) {
    return QByteArray(prefix) + two_digit_code_text(code).toLatin1();
}

// The serial connection, closed without discarding what is still queued: the
// last command must reach the inverter, and on a pseudo-terminal the library's
// flush at closing would discard what the far end has not read yet.
class InverterLine : public Connection::Serial {
public:
    explicit InverterLine(INDI::DefaultDevice* device) : Connection::Serial(device) {
        // When the chosen port fails, other ports are not probed: the handshake
        // would send the inverter's command to whatever device is there.
        AutoSearchS[0].s = ISS_OFF;
        AutoSearchS[1].s = ISS_ON;
    }
    bool Disconnect() override {
        if (PortFD >= 0) {
            tcdrain(PortFD);
            close(std::exchange(PortFD, -1));
        }
        return true;
    }
};

// Lights one switch of a pair: `first` the first one, otherwise the second.
void set_pair(INDI::PropertySwitch& pair, bool first, IPState state) {
    pair[0].setState(first ? ISS_ON : ISS_OFF);
    pair[1].setState(first ? ISS_OFF : ISS_ON);
    pair.setState(state);
    pair.apply();
}

} // namespace

LumivaneDriver::LumivaneDriver() : LightBoxInterface(this, true) {}

bool LumivaneDriver::initProperties() {
    INDI::DefaultDevice::initProperties();
    initLightBoxProperties(getDeviceName(), MAIN_CONTROL_TAB);
    // Percent of the inverter's duty, which moves in steps of 2 %.
    LightIntensityN[0].min = 0;
    LightIntensityN[0].max = duty_max * 2;
    LightIntensityN[0].step = 2;
    LightIntensityN[0].value = 0;

    FrequencyNP[0].fill("FREQUENCY_HZ", "Hz", "%.0f", frequency_min * 10, frequency_max * 10, 10,
                        450);
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
    ExposureNP[0].fill("EXPOSURE_SECONDS", "Seconds", "%.1f", 0, 3600, 0.1, 0);
    ExposureNP.fill(getDeviceName(), "SHUTTER_EXPOSURE", "Exposure", MAIN_CONTROL_TAB, IP_RW, 0,
                    IPS_IDLE);

    setDriverInterface(AUX_INTERFACE | LIGHTBOX_INTERFACE);
    addDebugControl();
    addConfigurationControl();

    serial = new InverterLine(this);
    serial->setDefaultBaudRate(Connection::Serial::B_9600);
    serial->registerHandshake([this] { return Handshake(); });
    registerConnection(serial);
    return true;
}

void LumivaneDriver::ISGetProperties(const char* dev) {
    INDI::DefaultDevice::ISGetProperties(dev);
    isGetLightBoxProperties(dev);
}

bool LumivaneDriver::updateProperties() {
    INDI::DefaultDevice::updateProperties();
    if (isConnected()) {
        defineProperty(&LightSP);
        defineProperty(&LightIntensityNP);
        defineProperty(FrequencyNP);
        defineProperty(ControlSP);
        defineProperty(ModeSP);
        defineProperty(ShutterSP);
        defineProperty(ExposureNP);
        reader = IEAddCallback(
            port, [](int, void* self) { static_cast<LumivaneDriver*>(self)->receive(); }, this);
    } else {
        deleteProperty(LightSP.name);
        deleteProperty(LightIntensityNP.name);
        deleteProperty(FrequencyNP.getName());
        deleteProperty(ControlSP.getName());
        deleteProperty(ModeSP.getName());
        deleteProperty(ShutterSP.getName());
        deleteProperty(ExposureNP.getName());
    }
    updateLightBoxProperties();
    return true;
}

bool LumivaneDriver::Connect() {
    // The inverter's line runs at 9600 baud, 8N1, whatever was chosen before.
    serial->setDefaultBaudRate(Connection::Serial::B_9600);
    return INDI::DefaultDevice::Connect();
}

bool LumivaneDriver::Handshake() {
    port = serial->getPortFD();
    RX_buf.clear();
    tcflush(port, TCIFLUSH);
    if (!send(wire::pc_control)) return false;
    // Reports that come with the answer are applied as well.
    bool answered = false;
    const QDeadlineTimer deadline(handshake_ms);
    while (!answered && !deadline.hasExpired()) {
        pollfd p{port, POLLIN, 0};
        if (poll(&p, 1, int(deadline.remainingTime())) <= 0) continue;
        char bytes[256];
        const ssize_t n = read(port, bytes, sizeof bytes);
        if (n <= 0) break;
        for (const QByteArray& frame : take_frames(RX_buf, QByteArrayView(bytes, n))) {
            const Report report = read_report(QString::fromLatin1(frame));
            answered = answered || report.kind == ReportKind::control;
            apply(report);
        }
    }
    if (!answered)
        LOG_ERROR("The inverter did not answer within 1 s. Is it switched on, and is this its "
                  "port?");
    return answered;
}

bool LumivaneDriver::Disconnect() {
    end_exposure();
    if (reader >= 0) IERmCallback(std::exchange(reader, -1));
    // Control goes back to the front-panel knob; the line drains it before closing.
    send(wire::front_panel_control);
    return INDI::DefaultDevice::Disconnect();
}

bool LumivaneDriver::send(const QByteArray& command) {
    for (qsizetype sent = 0; sent < command.size();) {
        const ssize_t n = write(port, command.constData() + sent, size_t(command.size() - sent));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            LOGF_ERROR("Cannot send to the inverter: %s", strerror(errno));
            return false;
        }
        sent += n;
    }
    LOGF_DEBUG("-> %s", command.constData());
    return true;
}

bool LumivaneDriver::send_duty(int percent) {
    return send(code_command(wire::duty, std::clamp((percent + 1) / 2, 0, duty_max)));
}

bool LumivaneDriver::SetLightBoxBrightness(uint16_t value) {
    // Kept while the light is off, and sent when it is turned on.
    if (LightS[FLAT_LIGHT_ON].s != ISS_ON) return true;
    return send_duty(value);
}

bool LumivaneDriver::EnableLightBox(bool enable) {
    return send_duty(enable ? int(LightIntensityN[0].value) : 0);
}

bool LumivaneDriver::receive() {
    char bytes[512];
    const ssize_t n = read(port, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n <= 0) {
        line_lost();
        return false;
    }
    for (const QByteArray& frame : take_frames(RX_buf, QByteArrayView(bytes, n))) {
        LOGF_DEBUG("<- %s", frame.constData());
        apply(read_report(QString::fromLatin1(frame)));
    }
    return true;
}

void LumivaneDriver::apply(const Report& report) {
    const auto flag = [&](char c) { return report.flag == QLatin1Char(c); };
    switch (report.kind) {
    case ReportKind::shutter:
        set_pair(ShutterSP, !flag(wire::flag_released), IPS_OK);
        break;
    case ReportKind::control:
        set_pair(ControlSP, flag(wire::flag_pc), IPS_OK);
        break;
    case ReportKind::mode:
        set_pair(ModeSP, flag(wire::flag_voltage), IPS_OK);
        break;
    case ReportKind::duty: {
        // The light is off while the inverter runs at the duty of 0 that turning it off
        // sent: the intensity stays for turning it on again. Any other duty is the
        // intensity, and turned up at the knob it turns the light on.
        const int code = round_half_even(report.tenths);
        const bool off = LightS[FLAT_LIGHT_OFF].s == ISS_ON;
        if (off && code == 0) break;
        LightIntensityN[0].value = code * 2;
        LightS[FLAT_LIGHT_ON].s = ISS_ON;
        LightS[FLAT_LIGHT_OFF].s = ISS_OFF;
        LightSP.s = LightIntensityNP.s = IPS_OK;
        IDSetNumber(&LightIntensityNP, nullptr);
        IDSetSwitch(&LightSP, nullptr);
        break;
    }
    case ReportKind::frequency:
        FrequencyNP[0].setValue(round_half_even(report.tenths) * 10);
        FrequencyNP.setState(IPS_OK);
        FrequencyNP.apply();
        break;
    case ReportKind::beep:
        LOG_INFO("The inverter beeped.");
        break;
    case ReportKind::other:
        break;
    }
}

void LumivaneDriver::line_lost() {
    LOGF_ERROR("The inverter's line is gone (%s).", strerror(errno));
    if (reader >= 0) IERmCallback(std::exchange(reader, -1));
    cancel_exposure();
    serial->Disconnect();
    setConnected(false, IPS_ALERT);
    updateProperties();
}

bool LumivaneDriver::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                                 int n) {
    if (dev != nullptr && strcmp(dev, getDeviceName()) == 0) {
        if (processLightBoxSwitch(dev, name, states, names, n)) return true;
        // Each pair sends its command; the inverter's report then shows the state.
        const struct {
            INDI::PropertySwitch& pair;
            const char* first;
            const char* second;
        } pairs[] = {{ControlSP, wire::pc_control, wire::front_panel_control},
                     {ModeSP, wire::voltage_mode, wire::frequency_mode},
                     {ShutterSP, wire::shutter_pressed, wire::shutter_released}};
        for (const auto& [pair, first, second] : pairs) {
            if (!pair.isNameMatch(name)) continue;
            pair.update(states, names, n);
            if (&pair == &ShutterSP) cancel_exposure();
            const bool sent = send(pair.findOnSwitchIndex() == 0 ? first : second);
            pair.setState(sent ? IPS_BUSY : IPS_ALERT);
            pair.apply();
            return true;
        }
    }
    return INDI::DefaultDevice::ISNewSwitch(dev, name, states, names, n);
}

bool LumivaneDriver::ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                                 int n) {
    if (dev != nullptr && strcmp(dev, getDeviceName()) == 0) {
        if (processLightBoxNumber(dev, name, values, names, n)) return true;
        if (FrequencyNP.isNameMatch(name)) {
            FrequencyNP.update(values, names, n);
            const int code = std::clamp(int(std::lround(FrequencyNP[0].getValue() / 10)),
                                        frequency_min, frequency_max);
            FrequencyNP[0].setValue(code * 10);
            FrequencyNP.setState(send(code_command(wire::frequency, code)) ? IPS_OK : IPS_ALERT);
            FrequencyNP.apply();
            return true;
        }
        if (ExposureNP.isNameMatch(name)) {
            ExposureNP.update(values, names, n);
            start_exposure(ExposureNP[0].getValue());
            return true;
        }
    }
    return INDI::DefaultDevice::ISNewNumber(dev, name, values, names, n);
}

bool LumivaneDriver::ISNewText(const char* dev, const char* name, char* texts[], char* names[],
                               int n) {
    if (dev != nullptr && strcmp(dev, getDeviceName()) == 0 &&
        processLightBoxText(dev, name, texts, names, n))
        return true;
    return INDI::DefaultDevice::ISNewText(dev, name, texts, names, n);
}

bool LumivaneDriver::ISSnoopDevice(XMLEle* root) {
    snoopLightBox(root);
    return INDI::DefaultDevice::ISSnoopDevice(root);
}

void LumivaneDriver::start_exposure(double seconds) {
    cancel_exposure();
    if (seconds <= 0) return;
    const bool pressed = send(wire::shutter_pressed);
    if (pressed) {
        exposure = IEAddTimer(
            int(std::lround(seconds * 1000)),
            [](void* self) {
                static_cast<LumivaneDriver*>(self)->exposure = -1;
                static_cast<LumivaneDriver*>(self)->end_exposure();
            },
            this);
    }
    ExposureNP.setState(pressed ? IPS_BUSY : IPS_ALERT);
    ExposureNP.apply();
}

// Releases the shutter when an exposure's time is up or the line closes during it.
void LumivaneDriver::end_exposure() {
    if (ExposureNP.getState() != IPS_BUSY) return;
    cancel_exposure();
    ExposureNP.setState(send(wire::shutter_released) ? IPS_OK : IPS_ALERT);
    ExposureNP.apply();
}

// Stops the timer of an exposure, leaving the shutter as it is.
void LumivaneDriver::cancel_exposure() {
    if (exposure >= 0) IERmTimer(std::exchange(exposure, -1));
    if (ExposureNP.getState() != IPS_BUSY) return;
    ExposureNP.setState(IPS_IDLE);
    ExposureNP.apply();
}

bool LumivaneDriver::saveConfigItems(FILE* fp) {
    INDI::DefaultDevice::saveConfigItems(fp);
    saveLightBoxConfigItems(fp);
    IUSaveConfigNumber(fp, &LightIntensityNP);
    FrequencyNP.save(fp);
    return true;
}
