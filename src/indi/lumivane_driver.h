#pragma once

#include "light_box.h"
#include "protocol/inverter_model.h"

#include <QByteArray>
#include <functional>

class InverterLine;

// The inverter as an INDI light box, so that imaging suites can light flat
// fields: the intensity sets the duty, and the frequency, control source,
// adjustment mode and camera shutter are properties of their own. The
// inverter model decides what each request sends and what each report means;
// this class carries bytes between it and the line, and its state to the
// properties.
class LumivaneDriver : public LightBoxDevice {
public:
    LumivaneDriver();

    bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                     int n) override;
    bool ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                     int n) override;

protected:
    const char* getDefaultName() override { return "Lumivane"; }
    bool initProperties() override;
    bool updateProperties() override;
    bool Connect() override;
    bool Disconnect() override;
    bool saveConfigItems(FILE* fp) override;
    void intensity_preset(double percent) override;

private:
    using Request = std::function<inverter::Step(double value, inverter::Clock::time_point now)>;

    bool Handshake();
    // Reads what the line holds into the model; false when the device is gone,
    // with the reason in `why`.
    bool read_line(const char*& why);
    void line_lost(const char* why);
    // At the program's end: hands control back as a disconnect does and
    // releases the line, telling indiserver nothing.
    void hand_back();
    void send(const QByteArray& command);
    // Sends the step's commands, logs its words, shows what changed (and
    // `answered`, the property of a client's request, in any case) and sets
    // the timer for the model's next deadline.
    void react(const inverter::Step& step, const char* answered = nullptr);
    void publish(const char* answered);
    // Saves the intensity or frequency a client set for the next connection.
    void keep_for_next_connection(INDI::PropertyNumber property, double asked);
    void schedule();
    // Hands a client's request to the model unless it is `refused` already,
    // and answers it; a refused request sends nothing, and its property goes
    // to Alert with the reason and keeps its values. Returns whether it was taken.
    template <typename Property>
    bool handle(Property property, const std::string& refused, const Request& request,
                double value);

    InverterLine* serial = nullptr;
    inverter::Model model;
    inverter::State shown; // what the properties show
    int reader = -1;       // the read callback while connected
    int timer = -1;        // the model's next deadline

    INDI::PropertySwitch ControlSP{2};
    INDI::PropertySwitch ModeSP{2};
    INDI::PropertySwitch ShutterSP{2};
    INDI::PropertyNumber ExposureNP{1};
    INDI::PropertyNumber FrequencyNP{1};
};
