// What a control is and holds, shared by the toolkits: its kind from the kind name and
// descriptor, its value, the conversions of the value record, and reading a user's text.
#pragma once

#include "sdk/modeler_host.h"

#include <string>
#include <vector>

namespace tuft::toolkit {

enum class Kind { kArea, kChoice, kBool, kInteger, kIntegerSlider, kFloat, kPercent, kAngle, kEdit, kButton };

// The kind behind a kind name; false for a name no toolkit here knows.
bool kindFromName(const char *name, Kind &kind);

struct ControlModel {
    Kind kind;
    std::string kindName;
    std::string label;
    std::vector<std::string> items; // choices
    int minimum = 0, maximum = 0;   // sliders (degrees for angles)
    bool ranged = false;
    int textCapacity = 32; // edit fields, terminating zero included
    int areaWidth = 0, areaHeight = 0;

    int integer = 0;
    double number = 0.0;
    std::string text;

    ControlModel(Kind kind, const char *kindName, const MhControlDescriptor *descriptor, const char *label);

    bool holdsInteger() const;
    bool holdsNumber() const;

    // The value record conversions of the panel table.
    void get(MhValue &value) const;
    void set(const MhValue &value);

    // A user's entry: item text or index for choices, on/off for booleans, degrees for
    // angles; sliders stop at their ends. False, with a reason, when it does not parse.
    bool setFromUser(const std::string &entry, std::string &reason);

    // The value as a user reads it (degrees for angles, item text for choices).
    std::string display() const;
};

} // namespace tuft::toolkit
