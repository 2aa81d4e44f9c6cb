#pragma once

#include "http_request.h"
#include "http_response.h"

#include <functional>

class InverterSession;
class ServerSettings;

// The control page that Alpaca clients open with their Setup button, and the
// two routes only it uses: the whole state in one answer, and the choice of
// serial device. The page itself drives the inverter through the Alpaca API.
class SetupPage {
public:
    SetupPage(const InverterSession& session, ServerSettings& settings);

    // Answers `path` when it is one of the page's; false otherwise.
    bool handle(const QString& path, const HttpRequest& request,
                const std::function<void(const HttpAnswer&)>& reply);

private:
    HttpAnswer state() const;
    HttpAnswer choose_serial(const HttpRequest& request);

    const InverterSession& session;
    ServerSettings& settings;
};
