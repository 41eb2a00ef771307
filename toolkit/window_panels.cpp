#include "toolkit/window_panels.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Radio_Round_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/fl_draw.H>
#include <FL/gl.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tuft::toolkit {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kMargin = 10;
constexpr int kButtonRow = 40;

using Control = PanelToolkit::Control;

// The drawing area: its callback draws with the window's OpenGL context current.
class PreviewArea final : public Fl_Gl_Window {
public:
    PreviewArea(int x, int y, int w, int h, Control &control, PanelToolkit &toolkit)
        : Fl_Gl_Window(x, y, w, h), control_(control), toolkit_(toolkit)
    {
        mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
    }
    void draw() override { toolkit_.drawArea(control_); }

private:
    Control &control_;
    PanelToolkit &toolkit_;
};

struct WidgetLink {
    Control *control;
    PanelToolkit *toolkit;
};

// A widget changed by the person: into the model, then the control's callback.
void widgetChanged(Fl_Widget *widget, void *data);

// Radio buttons of a choice share one link; their index is in the widget's user data.
struct ChoiceButton {
    WidgetLink link;
    int index;
};

void readWidget(Control &control)
{
    Fl_Widget *widget = static_cast<Fl_Widget *>(control.widget);
    switch (control.model.kind) {
    case Kind::kBool:
        control.model.integer = static_cast<Fl_Check_Button *>(widget)->value();
        break;
    case Kind::kInteger:
    case Kind::kIntegerSlider:
        control.model.integer = static_cast<int>(std::lround(static_cast<Fl_Valuator *>(widget)->value()));
        break;
    case Kind::kFloat:
    case Kind::kPercent:
        control.model.number = static_cast<Fl_Valuator *>(widget)->value();
        break;
    case Kind::kAngle:
        control.model.number = static_cast<Fl_Valuator *>(widget)->value() * kPi / 180.0;
        break;
    case Kind::kEdit:
        control.model.text = static_cast<Fl_Input *>(widget)->value();
        break;
    default:
        break;
    }
}

void showValue(Control &control)
{
    Fl_Widget *widget = static_cast<Fl_Widget *>(control.widget);
    if (widget == nullptr)
        return;
    switch (control.model.kind) {
    case Kind::kChoice: {
        auto *group = static_cast<Fl_Group *>(widget);
        for (int i = 0; i < group->children(); ++i)
            static_cast<Fl_Button *>(group->child(i))->value(i == control.model.integer);
        break;
    }
    case Kind::kBool:
        static_cast<Fl_Check_Button *>(widget)->value(control.model.integer != 0);
        break;
    case Kind::kInteger:
    case Kind::kIntegerSlider:
        static_cast<Fl_Valuator *>(widget)->value(control.model.integer);
        break;
    case Kind::kFloat:
    case Kind::kPercent:
        static_cast<Fl_Valuator *>(widget)->value(control.model.number);
        break;
    case Kind::kAngle:
        static_cast<Fl_Valuator *>(widget)->value(control.model.number * 180.0 / kPi);
        break;
    case Kind::kEdit:
        static_cast<Fl_Input *>(widget)->value(control.model.text.c_str());
        break;
    default:
        break;
    }
}

Fl_Valuator *slider(int x, int y, int w, int h, const ControlModel &model, double step)
{
    auto *valuator = new Fl_Value_Slider(x, y, w, h);
    valuator->type(FL_HOR_NICE_SLIDER);
    valuator->bounds(model.minimum, model.maximum);
    valuator->step(step);
    valuator->textsize(11);
    return valuator;
}

// Makes the widget of one control; the label stands left of the field.
Fl_Widget *makeWidget(Control &control, PanelToolkit &toolkit, std::vector<std::unique_ptr<WidgetLink>> &links,
                      std::vector<std::unique_ptr<ChoiceButton>> &choiceLinks)
{
    const ControlModel &model = control.model;
    const int labelWidth = labelWidthOf(model);
    const int x = kMargin + control.x + labelWidth;
    const int y = kMargin + control.y;
    const int w = std::max(10, control.width - labelWidth);
    const int h = control.height;
    links.push_back(std::make_unique<WidgetLink>(WidgetLink{&control, &toolkit}));
    WidgetLink *link = links.back().get();
    Fl_Widget *widget = nullptr;
    switch (model.kind) {
    case Kind::kArea:
        widget = new PreviewArea(kMargin + control.x, y, control.width, h, control, toolkit);
        break;
    case Kind::kChoice: {
        // Each item wide enough for its whole label in the window's font: the round box,
        // the text, a gap. The group is made as wide as its items, so none is squeezed.
        fl_open_display();
        fl_font(FL_HELVETICA, 11);
        std::vector<int> itemWidths;
        int total = 0;
        for (const std::string &item : model.items) {
            const int measured = static_cast<int>(fl_width(item.c_str())) + 26;
            itemWidths.push_back(std::max(choiceItemWidth(item), measured));
            total += itemWidths.back();
        }
        auto *group = new Fl_Group(x, y, std::max(w, total), h);
        int at = x;
        for (std::size_t i = 0; i < model.items.size(); ++i) {
            auto *button = new Fl_Radio_Round_Button(at, y, itemWidths[i], h);
            button->copy_label(model.items[i].c_str());
            button->labelsize(11);
            choiceLinks.push_back(std::make_unique<ChoiceButton>(ChoiceButton{*link, static_cast<int>(i)}));
            button->callback(
                [](Fl_Widget *, void *data) {
                    auto *choice = static_cast<ChoiceButton *>(data);
                    choice->link.control->model.integer = choice->index;
                    widgetChanged(nullptr, &choice->link);
                },
                choiceLinks.back().get());
            at += itemWidths[i];
        }
        group->end();
        widget = group;
        break;
    }
    case Kind::kBool:
        widget = new Fl_Check_Button(kMargin + control.x, y, control.width, h);
        widget->copy_label(model.label.c_str());
        break;
    case Kind::kInteger: {
        auto *input = new Fl_Value_Input(x, y, w, h);
        input->step(1);
        input->bounds(-2147483647.0, 2147483647.0);
        widget = input;
        break;
    }
    case Kind::kIntegerSlider:
        widget = slider(x, y, w, h, model, 1);
        break;
    case Kind::kFloat: {
        auto *input = new Fl_Value_Input(x, y, w, h);
        input->step(0.001);
        widget = input;
        break;
    }
    case Kind::kPercent:
        widget = slider(x, y, w, h, model, 0.1);
        break;
    case Kind::kAngle:
        widget = slider(x, y, w, h, model, 0.5);
        break;
    case Kind::kEdit: {
        auto *input = new Fl_Input(x, y, w, h);
        input->maximum_size(model.textCapacity - 1);
        input->when(FL_WHEN_CHANGED);
        widget = input;
        break;
    }
    case Kind::kButton:
        widget = new Fl_Button(kMargin + control.x, y, control.width, h);
        widget->copy_label(model.label.c_str());
        break;
    }
    if (model.kind != Kind::kBool && model.kind != Kind::kButton && model.kind != Kind::kArea) {
        widget->copy_label(model.label.c_str());
        widget->align(FL_ALIGN_LEFT);
    }
    widget->labelsize(12);
    if (model.kind != Kind::kChoice && model.kind != Kind::kArea)
        widget->callback(widgetChanged, link);
    control.widget = widget;
    showValue(control);
    if (control.drawMode() == MH_DRAW_GHOSTED)
        widget->deactivate();
    return widget;
}

struct Outcome {
    bool done = false;
    bool ok = false;
};

// A widget that would cover one before it on its row (a choice whose items, measured in
// the window's font, run longer than the panel allowed for) moves right, clear of it.
void keepApart(const std::vector<Fl_Widget *> &widgets)
{
    for (std::size_t i = 0; i < widgets.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            Fl_Widget *before = widgets[j], *after = widgets[i];
            if (before == nullptr || after == nullptr)
                continue;
            const bool sameRow = before->y() < after->y() + after->h() && after->y() < before->y() + before->h();
            const int end = before->x() + before->w() + 6;
            if (sameRow && after->x() >= before->x() && after->x() < end)
                after->position(end, after->y());
        }
}

void widgetChanged(Fl_Widget *, void *data)
{
    auto *link = static_cast<WidgetLink *>(data);
    if (link->control->model.kind != Kind::kChoice)
        readWidget(*link->control);
    static_cast<WindowPanels *>(link->toolkit)->controlChangedByUser(*link->control);
}

} // namespace

void WindowPanels::controlChangedByUser(Control &control) { userChanged(control); }

int WindowPanels::run(Panel &panel)
{
    actionError_.clear();
    // Initial values as a user would set them, before anything is shown.
    std::vector<UserAction> actions = initial_;
    actions.erase(std::remove_if(actions.begin(), actions.end(),
                                 [](const UserAction &a) { return a.type == UserAction::Type::kOk; }),
                  actions.end());
    if (!replay(panel, actions, actionError_))
        return 0;

    int right = 0, bottom = 0;
    for (const auto &control : panel.controls) {
        right = std::max(right, control->x + control->width);
        bottom = std::max(bottom, control->y + control->height);
    }
    Fl_Double_Window window(right + 2 * kMargin, bottom + 2 * kMargin + kButtonRow, panel.title.c_str());
    std::vector<std::unique_ptr<WidgetLink>> links;
    std::vector<std::unique_ptr<ChoiceButton>> choiceLinks;
    std::vector<Fl_Widget *> made;
    for (auto &control : panel.controls)
        made.push_back(makeWidget(*control, *this, links, choiceLinks));
    keepApart(made);
    for (const Fl_Widget *widget : made)
        if (widget != nullptr)
            right = std::max(right, widget->x() + widget->w() - kMargin);
    window.resizable(nullptr); // grows on the right; nothing inside moves or stretches
    window.size(right + 2 * kMargin, window.h());
    Outcome outcome;
    const int buttonsY = bottom + 2 * kMargin;
    Fl_Return_Button ok(window.w() - 2 * (80 + kMargin), buttonsY, 80, 25, "OK");
    Fl_Button cancel(window.w() - (80 + kMargin), buttonsY, 80, 25, "Cancel");
    ok.callback([](Fl_Widget *, void *data) { *static_cast<Outcome *>(data) = {true, true}; }, &outcome);
    cancel.callback([](Fl_Widget *, void *data) { *static_cast<Outcome *>(data) = {true, false}; }, &outcome);
    window.callback([](Fl_Widget *, void *data) { *static_cast<Outcome *>(data) = {true, false}; }, &outcome);
    window.end();
    window.set_modal();
    if (placePanel) {
        const auto [x, y] = placePanel(window.w(), window.h());
        window.position(x, y);
    }
    window.show();
    if (onOpened)
        onOpened(view(panel));
    while (!outcome.done && window.shown())
        Fl::wait();
    // The preview's last draw stands: the blade template takes its UVs from it.
    for (auto &control : panel.controls)
        if (control->model.kind == Kind::kArea && control->widget != nullptr)
            static_cast<Fl_Gl_Window *>(control->widget)->flush();
    if (onClosing)
        onClosing(view(panel));
    window.hide();
    Fl::flush();
    for (auto &control : panel.controls)
        control->widget = nullptr;
    return outcome.ok ? 1 : 0;
}

void WindowPanels::valueSet(Control &control) { showValue(control); }

void WindowPanels::drawSet(Control &control, int mode)
{
    auto *widget = static_cast<Fl_Widget *>(control.widget);
    if (widget == nullptr)
        return;
    if (mode == MH_DRAW_GHOSTED)
        widget->deactivate();
    else
        widget->activate();
}

void WindowPanels::paintArea(Control &control)
{
    auto *area = static_cast<Fl_Gl_Window *>(control.widget);
    if (area == nullptr || !area->shown()) {
        return;
    }
    // Drawn at once, so that the tables behind the picture follow every change.
    area->redraw();
    area->flush();
}

bool displayAvailable(std::string &why)
{
    const char *name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        why = "no display: DISPLAY is not set (run it on a desktop, or under xvfb-run)";
        return false;
    }
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        why = std::string("cannot open the display \"") + name + "\"";
        return false;
    }
    XCloseDisplay(display);
    return true;
}

} // namespace tuft::toolkit
