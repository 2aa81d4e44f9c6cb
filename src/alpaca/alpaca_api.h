#pragma once

#include "http_request.h"
#include "http_response.h"

#include <functional>

class CoverCalibrator;
class SetupPage;
class ServerSettings;

// The server's HTTP routes: the Alpaca device and management APIs, and the
// setup page. Each request gets a server transaction number, in order of
// arrival; its answer may come later (a connect waits for the inverter).
class AlpacaApi {
public:
    using Reply = std::function<void(const HttpAnswer&)>;

    AlpacaApi(CoverCalibrator& device, SetupPage& setup, const ServerSettings& settings);

    void handle(const HttpRequest& request, const Reply& reply);

private:
    void device_member(const HttpRequest& request, const QString& member, const Reply& reply);
    bool management(const HttpRequest& request, const Reply& reply);

    CoverCalibrator& device;
    SetupPage& setup;
    const ServerSettings& settings;
    quint32 transactions = 0;
};
