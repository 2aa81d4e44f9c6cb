#pragma once

#include <indipropertynumber.h>
#include <indipropertyswitch.h>
#include <string>

// What a client's new value asks of a property, read without touching the
// property: libindi's own update would reset a switch before it fails, and it
// takes any number, NaN included.
struct ClientRequest {
    double value = 0;    // the switch turned on (0 the first), or the number
    std::string refused; // why the request is not valid; empty when it is
};

// The one switch a one-of-many property is asked to turn on.
ClientRequest chosen_switch(const INDI::PropertySwitch& property, const ISState states[],
                            char* names[], int n);
// The value asked of a property with one number; its range is the caller's to check.
ClientRequest given_number(const INDI::PropertyNumber& property, const double values[],
                           char* names[], int n);
