#include "headless.h"

#include "control_model.h"

#include <algorithm>

namespace tuft::toolkit {

namespace {

HeadlessPanels *g_serving = nullptr;

constexpr int kCharWidth = 7;
constexpr int kRowHeight = 20;
constexpr int kRowGap = 4;

} // namespace

struct HeadlessPanels::Control {
    MhControl table; // first: the handle the plug-in holds
    Panel *panel;
    ControlModel model;
    int x = 0, y = 0, width = 0, height = kRowHeight;
    std::vector<int> draws;
    MhControlCallback callback = nullptr;
    void *userData = nullptr;

    int drawMode() const { return draws.empty() ? MH_DRAW_NORMAL : draws.back(); }
    static Control &of(MhControl *control) { return *reinterpret_cast<Control *>(control); }
};

struct HeadlessPanels::Panel {
    HeadlessPanels *owner;
    std::string title;
    std::vector<std::unique_ptr<Control>> controls;
    int nextY = 0;
    bool open = false;
};

namespace {

// Width of a control as laid out: its label, then its field.
int widthOf(const ControlModel &model)
{
    const int label = model.label.empty() ? 0 : kCharWidth * static_cast<int>(model.label.size()) + 8;
    switch (model.kind) {
    case Kind::kArea:
        return model.areaWidth;
    case Kind::kChoice: {
        int items = 0;
        for (const std::string &item : model.items)
            items += kCharWidth * static_cast<int>(item.size()) + 16;
        return label + items;
    }
    case Kind::kBool:
        return label + 20;
    case Kind::kInteger:
    case Kind::kFloat:
        return label + 60;
    case Kind::kIntegerSlider:
    case Kind::kPercent:
    case Kind::kAngle:
        return label + 80;
    case Kind::kEdit:
        return label + kCharWidth * model.textCapacity / 2;
    case Kind::kButton:
        return kCharWidth * static_cast<int>(model.label.size()) + 20;
    }
    return label;
}

void getTrampoline(MhControl *handle, int attribute, MhValue *value)
{
    if (value == nullptr)
        return;
    auto &control = HeadlessPanels::Control::of(handle);
    const auto asInteger = [&](int v) {
        if (value->type == MH_VAL_DOUBLE)
            value->v.number = v;
        else
            value->v.integer = v;
    };
    switch (attribute) {
    case MH_ATTR_X: asInteger(control.x); break;
    case MH_ATTR_Y: asInteger(control.y); break;
    case MH_ATTR_WIDTH: asInteger(control.width); break;
    case MH_ATTR_HEIGHT: asInteger(control.height); break;
    case MH_ATTR_VALUE: control.model.get(*value); break;
    case MH_ATTR_CALLBACK: value->v.pointer = reinterpret_cast<void *>(control.callback); break;
    case MH_ATTR_USER_DATA: value->v.pointer = control.userData; break;
    default: break;
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
    auto &control = HeadlessPanels::Control::of(handle);
    switch (attribute) {
    case MH_ATTR_X: control.x = integerOf(*value); break;
    case MH_ATTR_Y: control.y = integerOf(*value); break;
    case MH_ATTR_VALUE: control.model.set(*value); break;
    case MH_ATTR_CALLBACK:
        control.callback = reinterpret_cast<MhControlCallback>(value->v.pointer);
        break;
    case MH_ATTR_USER_DATA: control.userData = value->v.pointer; break;
    default: break;
    }
}

void drawTrampoline(MhControl *handle, int mode)
{
    auto &control = HeadlessPanels::Control::of(handle);
    control.draws.push_back(mode);
    if (control.model.kind == Kind::kArea && mode == MH_DRAW_NORMAL && control.panel->open)
        control.panel->owner->drawArea(control);
}

MhPanel createTrampoline(const char *title, void *) { return HeadlessPanels::serving()->create(title); }

MhControl *addTrampoline(MhPanel panel, const char *kind, const MhControlDescriptor *descriptor, const char *label)
{
    return HeadlessPanels::serving()->addControl(panel, kind, descriptor, label);
}

int openTrampoline(MhPanel panel, int flags) { return HeadlessPanels::serving()->open(panel, flags); }
void destroyTrampoline(MhPanel panel) { HeadlessPanels::serving()->destroy(panel); }

const MhPanelServices kServices = {createTrampoline, addTrampoline, openTrampoline, destroyTrampoline};

} // namespace

const ControlView *PanelView::find(const std::string &label) const
{
    for (const ControlView &control : controls)
        if (control.label == label)
            return &control;
    return nullptr;
}

HeadlessPanels::HeadlessPanels() : drawRunner_([](const std::function<void()> &draw) { draw(); }) {}

HeadlessPanels::~HeadlessPanels()
{
    if (g_serving == this)
        g_serving = nullptr;
}

const MhPanelServices *HeadlessPanels::services()
{
    g_serving = this;
    return &kServices;
}

HeadlessPanels *HeadlessPanels::serving() { return g_serving; }

MhPanel HeadlessPanels::create(const char *title)
{
    ++created_;
    auto *panel = new Panel{this, title != nullptr ? title : "", {}, 0, false};
    return reinterpret_cast<MhPanel>(panel);
}

MhControl *HeadlessPanels::addControl(MhPanel handle, const char *kindName, const MhControlDescriptor *descriptor,
                                      const char *label)
{
    Kind kind;
    if (handle == nullptr || !kindFromName(kindName, kind))
        return nullptr;
    auto &panel = *reinterpret_cast<Panel *>(handle);
    auto control = std::make_unique<Control>(
        Control{{getTrampoline, setTrampoline, drawTrampoline, nullptr}, &panel,
                ControlModel(kind, kindName, descriptor, label), 0, 0, 0, kRowHeight, {}, nullptr, nullptr});
    control->table.priv = control.get();
    control->width = widthOf(control->model);
    if (kind == Kind::kArea)
        control->height = control->model.areaHeight;
    control->y = panel.nextY;
    panel.nextY += control->height + kRowGap;
    panel.controls.push_back(std::move(control));
    return &panel.controls.back()->table;
}

void HeadlessPanels::drawArea(Control &control)
{
    if (control.callback == nullptr)
        return;
    ++previewDraws_;
    drawRunner_([&] { control.callback(&control.table, control.userData); });
}

int HeadlessPanels::open(MhPanel handle, int)
{
    if (handle == nullptr)
        return 0;
    auto &panel = *reinterpret_cast<Panel *>(handle);
    panel.open = true;
    scriptError_.clear();
    for (auto &control : panel.controls)
        if (control->model.kind == Kind::kArea)
            drawArea(*control);
    if (onOpened)
        onOpened(view(panel));
    const bool ok = replay(panel);
    if (onClosing)
        onClosing(view(panel));
    panel.open = false;
    lastOpenResult_ = ok ? 1 : 0;
    return lastOpenResult_;
}

// A choice or check box that the panel turned back after the user set it (a refused
// mode, a missing weight map) means the run would not be the one asked for.
bool HeadlessPanels::choicesStand(const std::vector<std::pair<Control *, int>> &chosen)
{
    for (const auto &[control, value] : chosen) {
        if (control->model.integer == value)
            continue;
        ControlModel asked = control->model;
        asked.integer = value;
        scriptError_ = "the panel set \"" + control->model.label + "\" back to " + control->model.display() +
                       " after it was set to " + asked.display() + " (see the message above)";
        return false;
    }
    return true;
}

bool HeadlessPanels::replay(Panel &panel)
{
    std::vector<std::pair<Control *, int>> chosen;
    for (const UserAction &action : script_) {
        if (action.type == UserAction::Type::kOk)
            return choicesStand(chosen);
        if (action.type == UserAction::Type::kCancel)
            return false;
        Control *target = nullptr;
        if (!action.control.empty() && action.control[0] == '#') {
            const std::size_t index = std::strtoul(action.control.c_str() + 1, nullptr, 10);
            if (index < panel.controls.size())
                target = panel.controls[index].get();
        } else {
            for (auto &control : panel.controls)
                if (control->model.label == action.control) {
                    target = control.get();
                    break;
                }
        }
        const std::string name = "\"" + action.control + "\"";
        if (target == nullptr) {
            scriptError_ = "the panel has no control " + name;
            return false;
        }
        if (target->drawMode() == MH_DRAW_GHOSTED) {
            scriptError_ = name + " is disabled on the panel at this point";
            return false;
        }
        if (action.type == UserAction::Type::kSet) {
            std::string reason;
            if (!target->model.setFromUser(action.value, reason)) {
                scriptError_ = "cannot set " + name + " to \"" + action.value + "\": " + reason;
                return false;
            }
        } else if (target->model.kind != Kind::kButton) {
            scriptError_ = name + " is not a button";
            return false;
        }
        if (action.type == UserAction::Type::kSet &&
            (target->model.kind == Kind::kChoice || target->model.kind == Kind::kBool)) {
            chosen.erase(std::remove_if(chosen.begin(), chosen.end(), [&](const auto &c) { return c.first == target; }),
                         chosen.end());
            chosen.emplace_back(target, target->model.integer);
        }
        if (target->callback != nullptr)
            target->callback(&target->table, target->userData);
    }
    return choicesStand(chosen);
}

PanelView HeadlessPanels::view(const Panel &panel) const
{
    PanelView result{panel.title, {}};
    for (const auto &c : panel.controls)
        result.controls.push_back({c->model.kindName, c->model.label, c->x, c->y, c->width, c->height,
                                   c->model.integer, c->model.number, c->model.text, c->drawMode(), c->draws,
                                   c->callback != nullptr});
    return result;
}

void HeadlessPanels::destroy(MhPanel handle)
{
    if (handle == nullptr)
        return;
    ++destroyed_;
    delete reinterpret_cast<Panel *>(handle);
}

} // namespace tuft::toolkit
