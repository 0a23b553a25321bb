#pragma once

#include "link/UsbDeviceLayer.h"

#include <string>
#include <vector>

// A cradle as the system lists it, before anything is opened.
struct FoundCradle {
    std::string id;   // "usb:3-1.4" or "virtual:NAME": the same on every run for the same place
    std::string kind; // "USB cradle" or "virtual cradle"
    // The system refuses this user access: the udev rule is missing.
    bool accessDenied = false;
};

// Every cradle attached now, real and virtual, in the order the program numbers them.
std::vector<FoundCradle> FindCradles();
// The same over a given library (tests).
std::vector<FoundCradle> FindCradles(UsbDeviceLayer& library);

// What a user types to let this user open cradles: the udev rule and its commands.
std::string CradleAccessFix();
