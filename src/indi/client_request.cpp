#include "client_request.h"

namespace {

std::string not_a_member(const char* name, const char* property) {
    return std::string(name) + " is not a member of " + property + ".";
}

} // namespace

ClientRequest chosen_switch(const INDI::PropertySwitch& property, const ISState states[],
                            char* names[], int n) {
    ClientRequest request;
    int on = 0;
    for (int i = 0; i < n; ++i) {
        const int index = property.findWidgetIndexByName(names[i]);
        if (index < 0) return {0, not_a_member(names[i], property.getName())};
        if (states[i] == ISS_ON) {
            ++on;
            request.value = index;
        }
    }
    if (on != 1)
        request.refused =
            std::string("Exactly one switch of ") + property.getName() + " must be on.";
    return request;
}

ClientRequest given_number(const INDI::PropertyNumber& property, const double values[],
                           char* names[], int n) {
    if (n != 1) return {0, std::string(property.getName()) + " takes one value."};
    if (property.findWidgetIndexByName(names[0]) < 0)
        return {0, not_a_member(names[0], property.getName())};
    return {values[0], {}};
}
