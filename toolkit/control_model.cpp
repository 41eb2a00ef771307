#include "toolkit/control_model.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tuft::toolkit {

namespace {

constexpr double kPi = 3.141592653589793;

int saturate(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::round(value);
    if (rounded >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (rounded <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

std::string trimmed(const std::string &text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first])))
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])))
        --last;
    return text.substr(first, last - first);
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool parseWhole(const std::string &text, int &out)
{
    const std::string t = trimmed(text);
    const auto result = std::from_chars(t.data(), t.data() + t.size(), out);
    return !t.empty() && result.ec == std::errc() && result.ptr == t.data() + t.size();
}

bool parseReal(const std::string &text, double &out)
{
    std::string t = trimmed(text);
    if (!t.empty() && t[0] == '+')
        t.erase(0, 1);
    const auto result = std::from_chars(t.data(), t.data() + t.size(), out);
    return !t.empty() && result.ec == std::errc() && result.ptr == t.data() + t.size() && std::isfinite(out);
}

std::string formatNumber(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

} // namespace

bool kindFromName(const char *name, Kind &kind)
{
    static const struct {
        const char *name;
        Kind kind;
    } kKinds[] = {
        {"OpenGLControl", Kind::kArea},
        {"ChoiceControl", Kind::kChoice},
        {"BoolControl", Kind::kBool},
        {"NumControl", Kind::kInteger},
        {"MiniSliderControl", Kind::kIntegerSlider},
        {"FloatControl", Kind::kFloat},
        {"PercentControl", Kind::kPercent},
        {"AngleControl", Kind::kAngle},
        {"EditControl", Kind::kEdit},
        {"ButtonControl", Kind::kButton},
    };
    for (const auto &entry : kKinds)
        if (name != nullptr && std::strcmp(name, entry.name) == 0) {
            kind = entry.kind;
            return true;
        }
    return false;
}

ControlModel::ControlModel(Kind k, const char *name, const MhControlDescriptor *descriptor, const char *text)
    : kind(k), kindName(name), label(text != nullptr ? text : "")
{
    if (descriptor == nullptr)
        return;
    switch (kind) {
    case Kind::kChoice:
        for (const char *const *item = descriptor->d.choice.items; item != nullptr && *item != nullptr; ++item)
            items.emplace_back(*item);
        break;
    case Kind::kIntegerSlider:
    case Kind::kPercent:
    case Kind::kAngle:
        if (descriptor->type == MH_DESC_RANGE) {
            ranged = true;
            minimum = descriptor->d.ints.b;
            maximum = descriptor->d.ints.c;
        }
        break;
    case Kind::kEdit:
        textCapacity = std::max(2, descriptor->d.ints.a);
        break;
    case Kind::kArea:
        areaWidth = descriptor->d.ints.a;
        areaHeight = descriptor->d.ints.b;
        break;
    default:
        break;
    }
}

bool ControlModel::holdsInteger() const
{
    return kind == Kind::kChoice || kind == Kind::kBool || kind == Kind::kInteger || kind == Kind::kIntegerSlider;
}

bool ControlModel::holdsNumber() const
{
    return kind == Kind::kFloat || kind == Kind::kPercent || kind == Kind::kAngle;
}

void ControlModel::get(MhValue &value) const
{
    const double asNumber = holdsInteger() ? integer : holdsNumber() ? number : std::atof(text.c_str());
    switch (value.type) {
    case MH_VAL_INT:
        value.v.integer = holdsInteger() ? integer : saturate(asNumber);
        break;
    case MH_VAL_DOUBLE:
        value.v.number = asNumber;
        break;
    case MH_VAL_TEXT: {
        if (value.v.text.buffer == nullptr || value.v.text.length <= 0)
            break;
        const std::string shown = kind == Kind::kEdit ? text
                                  : holdsInteger()    ? std::to_string(integer)
                                                      : formatNumber(number);
        const std::size_t n = std::min(shown.size(), static_cast<std::size_t>(value.v.text.length - 1));
        std::memcpy(value.v.text.buffer, shown.data(), n);
        value.v.text.buffer[n] = '\0';
        break;
    }
    default:
        break;
    }
}

void ControlModel::set(const MhValue &value)
{
    double incoming = 0.0;
    std::string incomingText;
    switch (value.type) {
    case MH_VAL_INT:
        incoming = value.v.integer;
        incomingText = std::to_string(value.v.integer);
        break;
    case MH_VAL_DOUBLE:
        incoming = value.v.number;
        incomingText = formatNumber(value.v.number);
        break;
    case MH_VAL_TEXT:
        if (value.v.text.buffer != nullptr && value.v.text.length > 0)
            incomingText.assign(value.v.text.buffer, strnlen(value.v.text.buffer, value.v.text.length));
        incoming = std::atof(incomingText.c_str());
        break;
    default:
        return;
    }
    if (kind == Kind::kEdit) {
        text = incomingText.substr(0, static_cast<std::size_t>(textCapacity - 1));
    } else if (holdsInteger()) {
        integer = value.type == MH_VAL_INT ? value.v.integer : saturate(incoming);
        if (kind == Kind::kBool)
            integer = integer != 0;
        if (kind == Kind::kChoice && !items.empty())
            integer = std::clamp(integer, 0, static_cast<int>(items.size()) - 1);
    } else if (holdsNumber()) {
        number = incoming;
    }
}

bool ControlModel::setFromUser(const std::string &entry, std::string &reason)
{
    const std::string t = trimmed(entry);
    switch (kind) {
    case Kind::kChoice: {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (lower(trimmed(items[i])) == lower(t)) {
                integer = static_cast<int>(i);
                return true;
            }
        int index = 0;
        if (parseWhole(t, index) && index >= 0 && index < static_cast<int>(items.size())) {
            integer = index;
            return true;
        }
        reason = "not one of its choices";
        return false;
    }
    case Kind::kBool: {
        const std::string word = lower(t);
        if (word == "1" || word == "on" || word == "true" || word == "yes")
            integer = 1;
        else if (word == "0" || word == "off" || word == "false" || word == "no")
            integer = 0;
        else {
            reason = "expected on or off";
            return false;
        }
        return true;
    }
    case Kind::kInteger:
    case Kind::kIntegerSlider: {
        int value = 0;
        if (!parseWhole(t, value)) {
            reason = "expected a whole number";
            return false;
        }
        integer = ranged ? std::clamp(value, minimum, maximum) : value;
        return true;
    }
    case Kind::kFloat:
    case Kind::kPercent:
    case Kind::kAngle: {
        double value = 0.0;
        if (!parseReal(t, value)) {
            reason = "expected a number";
            return false;
        }
        if (ranged)
            value = std::clamp(value, double(minimum), double(maximum));
        number = kind == Kind::kAngle ? value * kPi / 180.0 : value;
        return true;
    }
    case Kind::kEdit:
        if (entry.size() >= static_cast<std::size_t>(textCapacity)) {
            reason = "longer than " + std::to_string(textCapacity - 1) + " characters";
            return false;
        }
        text = entry;
        return true;
    default:
        reason = "it holds no value";
        return false;
    }
}

std::string ControlModel::display() const
{
    switch (kind) {
    case Kind::kChoice:
        return integer >= 0 && integer < static_cast<int>(items.size()) ? items[integer] : std::to_string(integer);
    case Kind::kBool:
        return integer ? "on" : "off";
    case Kind::kInteger:
    case Kind::kIntegerSlider:
        return std::to_string(integer);
    case Kind::kAngle:
        return formatNumber(number * 180.0 / kPi);
    case Kind::kFloat:
    case Kind::kPercent:
        return formatNumber(number);
    case Kind::kEdit:
        return text;
    default:
        return "";
    }
}

} // namespace tuft::toolkit
