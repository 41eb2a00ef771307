#include "toolkit/panel_toolkit.h"

#include <algorithm>
#include <cstdlib>

namespace tuft::toolkit {

namespace {

PanelToolkit *g_serving = nullptr;

void getTrampoline(MhControl *handle, int attribute, MhValue *value)
{
    if (value == nullptr)
        return;
    auto &control = PanelToolkit::Control::of(handle);
    const auto asInteger = [&](int v) {
        if (value->type == MH_VAL_DOUBLE)
            value->v.number = v;
        else
            value->v.integer = v;
    };
    switch (attribute) {
    case MH_ATTR_X:
        asInteger(control.x);
        break;
    case MH_ATTR_Y:
        asInteger(control.y);
        break;
    case MH_ATTR_WIDTH:
        asInteger(control.width);
        break;
    case MH_ATTR_HEIGHT:
        asInteger(control.height);
        break;
    case MH_ATTR_VALUE:
        control.model.get(*value);
        break;
    case MH_ATTR_CALLBACK:
        value->v.pointer = reinterpret_cast<void *>(control.callback);
        break;
    case MH_ATTR_USER_DATA:
        value->v.pointer = control.userData;
        break;
    default:
        break;
    }
}

int integerOf(const MhValue &value)
{
    return value.type == MH_VAL_DOUBLE ? static_cast<int>(value.v.number) : value.v.integer;
}

void setTrampoline(MhControl *handle, int attribute, const MhValue *value)
{
    if (value == nullptr)
        return;
    auto &control = PanelToolkit::Control::of(handle);
    switch (attribute) {
    case MH_ATTR_X:
        control.x = integerOf(*value);
        break;
    case MH_ATTR_Y:
        control.y = integerOf(*value);
        break;
    case MH_ATTR_VALUE:
        control.model.set(*value);
        control.panel->owner->controlChanged(control);
        break;
    case MH_ATTR_CALLBACK:
        control.callback = reinterpret_cast<MhControlCallback>(value->v.pointer);
        break;
    case MH_ATTR_USER_DATA:
        control.userData = value->v.pointer;
        break;
    default:
        break;
    }
}

void drawTrampoline(MhControl *handle, int mode)
{
    auto &control = PanelToolkit::Control::of(handle);
    control.panel->owner->controlDrawn(control, mode);
}

MhPanel createTrampoline(const char *title, void *) { return PanelToolkit::serving()->create(title); }

MhControl *addTrampoline(MhPanel panel, const char *kind, const MhControlDescriptor *descriptor, const char *label)
{
    return PanelToolkit::serving()->addControl(panel, kind, descriptor, label);
}

int openTrampoline(MhPanel panel, int flags) { return PanelToolkit::serving()->open(panel, flags); }
void destroyTrampoline(MhPanel panel) { PanelToolkit::serving()->destroy(panel); }

const MhPanelServices kServices = {createTrampoline, addTrampoline, openTrampoline, destroyTrampoline};

} // namespace

int choiceItemWidth(const std::string &item) { return 6 * static_cast<int>(item.size()) + 12; }

int labelWidthOf(const ControlModel &model)
{
    if (model.kind == Kind::kButton || model.kind == Kind::kArea || model.label.empty())
        return 0;
    return kCharWidth * static_cast<int>(model.label.size()) + 8;
}

int widthOf(const ControlModel &model)
{
    const int label = labelWidthOf(model);
    switch (model.kind) {
    case Kind::kArea:
        return model.areaWidth;
    case Kind::kChoice: {
        int items = 0;
        for (const std::string &item : model.items)
            items += choiceItemWidth(item);
        return label + items;
    }
    case Kind::kBool:
        return kCharWidth * static_cast<int>(model.label.size()) + 28;
    case Kind::kInteger:
    case Kind::kFloat:
        return label + 60;
    case Kind::kIntegerSlider:
    case Kind::kPercent:
    case Kind::kAngle:
        return label + kSliderWidth;
    case Kind::kEdit:
        return label + kCharWidth * model.textCapacity / 2;
    case Kind::kButton:
        return kCharWidth * static_cast<int>(model.label.size()) + 20;
    }
    return label;
}

const ControlView *PanelView::find(const std::string &label) const
{
    for (const ControlView &control : controls)
        if (control.label == label)
            return &control;
    return nullptr;
}

std::string ControlView::value() const
{
    if (kind == "EditControl")
        return "\"" + text + "\"";
    if (kind == "FloatControl" || kind == "PercentControl" || kind == "AngleControl")
        return std::to_string(number);
    return std::to_string(integer);
}

std::string PanelView::describe() const
{
    std::string text;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlView &c = controls[i];
        text += "#" + std::to_string(i) + " \"" + c.label + "\" " + c.kind + " value=" + c.value();
        text += c.drawMode == MH_DRAW_GHOSTED ? " ghosted\n" : " normal\n";
    }
    return text;
}

PanelToolkit::Control *PanelToolkit::Panel::find(const std::string &name)
{
    if (!name.empty() && name[0] == '#') {
        const std::size_t index = std::strtoul(name.c_str() + 1, nullptr, 10);
        return index < controls.size() ? controls[index].get() : nullptr;
    }
    for (auto &control : controls)
        if (control->model.label == name)
            return control.get();
    return nullptr;
}

PanelToolkit::PanelToolkit() : drawRunner_([](const std::function<void()> &draw) { draw(); }) {}

PanelToolkit::~PanelToolkit()
{
    if (g_serving == this)
        g_serving = nullptr;
}

const MhPanelServices *PanelToolkit::services()
{
    g_serving = this;
    return &kServices;
}

PanelToolkit *PanelToolkit::serving() { return g_serving; }

MhPanel PanelToolkit::create(const char *title)
{
    ++created_;
    auto *panel = new Panel{this, title != nullptr ? title : "", {}, false};
    return reinterpret_cast<MhPanel>(panel);
}

MhControl *PanelToolkit::addControl(MhPanel handle, const char *kindName, const MhControlDescriptor *descriptor,
                                    const char *label)
{
    Kind kind;
    if (handle == nullptr || !kindFromName(kindName, kind))
        return nullptr;
    auto &panel = *reinterpret_cast<Panel *>(handle);
    auto control = std::make_unique<Control>(Control{{getTrampoline, setTrampoline, drawTrampoline, nullptr},
                                                     &panel,
                                                     ControlModel(kind, kindName, descriptor, label),
                                                     0,
                                                     0,
                                                     0,
                                                     kRowHeight,
                                                     {},
                                                     nullptr,
                                                     nullptr,
                                                     nullptr});
    control->table.priv = control.get();
    control->width = widthOf(control->model);
    if (kind == Kind::kArea)
        control->height = control->model.areaHeight;
    // Below the control before it, wherever that one was moved.
    if (!panel.controls.empty()) {
        const Control &previous = *panel.controls.back();
        control->y = previous.y + previous.height + kRowGap;
    }
    panel.controls.push_back(std::move(control));
    return &panel.controls.back()->table;
}

void PanelToolkit::controlChanged(Control &control)
{
    if (control.panel->open)
        valueSet(control);
}

void PanelToolkit::controlDrawn(Control &control, int mode)
{
    control.draws.push_back(mode);
    if (!control.panel->open)
        return;
    drawSet(control, mode);
    if (control.model.kind == Kind::kArea && mode == MH_DRAW_NORMAL)
        paintArea(control);
}

void PanelToolkit::paintArea(Control &control) { drawArea(control); }

void PanelToolkit::drawArea(Control &control)
{
    if (control.callback == nullptr)
        return;
    ++previewDraws_;
    drawRunner_([&] { control.callback(&control.table, control.userData); });
}

void PanelToolkit::userChanged(Control &control)
{
    if (control.callback != nullptr)
        control.callback(&control.table, control.userData);
}

int PanelToolkit::open(MhPanel handle, int)
{
    if (handle == nullptr)
        return 0;
    auto &panel = *reinterpret_cast<Panel *>(handle);
    panel.open = true;
    lastOpenResult_ = run(panel);
    panel.open = false;
    return lastOpenResult_;
}

bool PanelToolkit::replay(Panel &panel, const std::vector<UserAction> &actions, std::string &error)
{
    // A choice or check box that the panel turned back after it was set (a refused mode,
    // a missing weight map) means the run would not be the one asked for.
    std::vector<std::pair<Control *, int>> chosen;
    const auto choicesStand = [&] {
        for (const auto &[control, value] : chosen) {
            if (control->model.integer == value)
                continue;
            ControlModel asked = control->model;
            asked.integer = value;
            error = "the panel set \"" + control->model.label + "\" back to " + control->model.display() +
                    " after it was set to " + asked.display() + " (see the message above)";
            return false;
        }
        return true;
    };
    const auto mayConfirm = [&] {
        if (!choicesStand())
            return false;
        if (beforeOk)
            error = beforeOk(view(panel));
        return error.empty();
    };
    for (const UserAction &action : actions) {
        if (action.type == UserAction::Type::kOk)
            return mayConfirm();
        if (action.type == UserAction::Type::kCancel)
            return false;
        Control *target = panel.find(action.control);
        const std::string name = "\"" + (action.name.empty() ? action.control : action.name) + "\"";
        if (target == nullptr) {
            error = "the panel has no control " + name;
            return false;
        }
        if (target->drawMode() == MH_DRAW_GHOSTED) {
            error = name + " is disabled on the panel at this point";
            return false;
        }
        if (action.type == UserAction::Type::kSet) {
            std::string reason;
            if (!target->model.setFromUser(action.value, reason)) {
                error = "cannot set " + name + " to \"" + action.value + "\": " + reason;
                return false;
            }
            valueSet(*target);
            if (target->model.kind == Kind::kChoice || target->model.kind == Kind::kBool) {
                chosen.erase(
                    std::remove_if(chosen.begin(), chosen.end(), [&](const auto &c) { return c.first == target; }),
                    chosen.end());
                chosen.emplace_back(target, target->model.integer);
            }
        } else if (target->model.kind != Kind::kButton) {
            error = name + " is not a button";
            return false;
        }
        userChanged(*target);
        if (afterAction && !(error = afterAction(action)).empty())
            return false;
    }
    return mayConfirm();
}

PanelView PanelToolkit::view(const Panel &panel) const
{
    PanelView result{panel.title, {}};
    for (const auto &c : panel.controls)
        result.controls.push_back({c->model.kindName, c->model.label, c->x, c->y, c->width, c->height, c->model.integer,
                                   c->model.number, c->model.text, c->drawMode(), c->draws, c->callback != nullptr});
    return result;
}

void PanelToolkit::destroy(MhPanel handle)
{
    if (handle == nullptr)
        return;
    ++destroyed_;
    delete reinterpret_cast<Panel *>(handle);
}

} // namespace tuft::toolkit
