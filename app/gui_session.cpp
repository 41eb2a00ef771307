// The window front end, worked as a modeler is: a viewport shows the object, the
// plug-in's panel opens as running the command would, and a person looks, undoes, runs
// it again and saves.
#include "app/gui_session.h"

#include "app/job_steps.h"
#include "app/memory_estimate.h"
#include "app/panel_options.h"
#include "app/planting.h"
#include "app/selection.h"
#include "app/window_choices.h"
#include "app/window_services.h"
#include "toolkit/window_panels.h"
#include "view/renderer.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Group.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tuft::app {

namespace {

// The object drawn by the renderer; the mouse orbits (left button), pans (right button,
// or left with Shift) and zooms (the wheel).
class Viewport final : public Fl_Gl_Window {
public:
    Viewport(int x, int y, int w, int h) : Fl_Gl_Window(x, y, w, h)
    {
        mode(FL_RGB | FL_DOUBLE | FL_DEPTH | FL_MULTISAMPLE);
        if (!can_do(mode()))
            mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
    }
    ~Viewport() override
    {
        Fl::remove_timeout(announceShown, this);
        if (renderer_) {
            make_current();
            renderer_.reset();
        }
    }

    void show(view::Scene scene)
    {
        scene_ = std::move(scene);
        fresh_ = true;
        redraw();
    }

    // Called once a new scene is on the screen (after the frame that shows it is swapped).
    std::function<void()> onSceneShown;

private:
    void draw() override
    {
        if (!renderer_)
            renderer_ = std::make_unique<view::Renderer>();
        const bool fresh = fresh_;
        if (fresh_) {
            renderer_->upload(scene_);
            scene_ = view::Scene();
            fresh_ = false;
        }
        renderer_->draw(camera_, pixel_w(), pixel_h());
        if (fresh && onSceneShown)
            Fl::add_timeout(0.0, announceShown, this);
    }

    static void announceShown(void *self)
    {
        if (auto &shown = static_cast<Viewport *>(self)->onSceneShown)
            shown();
    }

    int handle(int event) override
    {
        switch (event) {
        case FL_PUSH:
            lastX_ = Fl::event_x();
            lastY_ = Fl::event_y();
            return 1;
        case FL_DRAG: {
            const double dx = Fl::event_x() - lastX_, dy = Fl::event_y() - lastY_;
            lastX_ = Fl::event_x();
            lastY_ = Fl::event_y();
            if (Fl::event_button() == FL_RIGHT_MOUSE || Fl::event_state(FL_SHIFT)) {
                camera_.pan[0] -= 2 * dx / std::max(1, w()) * camera_.zoom;
                camera_.pan[1] += 2 * dy / std::max(1, h()) * camera_.zoom;
            } else {
                camera_.azimuth -= 0.4 * dx;
                camera_.elevation = std::clamp(camera_.elevation + 0.4 * dy, -89.0, 89.0);
            }
            redraw();
            return 1;
        }
        case FL_MOUSEWHEEL:
            camera_.zoom = std::clamp(camera_.zoom * std::pow(1.1, Fl::event_dy()), 0.02, 50.0);
            redraw();
            return 1;
        default:
            return Fl_Gl_Window::handle(event);
        }
    }

    std::unique_ptr<view::Renderer> renderer_;
    view::Scene scene_;
    bool fresh_ = false;
    view::Camera camera_;
    int lastX_ = 0, lastY_ = 0;
};

// A failure shown in a box, and written to the error stream for the record.
void alert(const std::string &text)
{
    std::fprintf(stderr, "tuftsprout: %s\n", text.c_str());
    fl_message_title("Error");
    fl_alert("%s", text.c_str());
}

// A label as a menu item shows it: FLTK reads '/' as a submenu, '&' as a shortcut and
// '\\' as an escape.
std::string menuText(const std::string &label)
{
    std::string text;
    for (char c : label) {
        if (c == '/' || c == '\\')
            text += '\\';
        else if (c == '&')
            text += '&';
        text += c;
    }
    return text;
}

constexpr int kNarrowest = 660; // the main window, its buttons and "Plant on" whole

class Session {
public:
    explicit Session(const PlantJob &job)
        : job_(job), object_(readObject(job)), planting_(job_, object_, panels_),
          targets_(plantingTargets(object_, kCurrentLayer))
    {
        installWindowServices(planting_.modeler());
        panels_.placePanel = [this](int w, int h) { return placePanel(w, h); };
        buildWindow();
        if (windowPicksTarget(job)) {
            startOn(firstTarget(targets_));
        } else {
            panels_.setInitialActions(job.actions);
            const int selected = job.scatter ? -1 : targetSelected(targets_, job.selection);
            target_->value(selected);
            if (selected >= 0)
                pickedTarget_ = targets_[static_cast<std::size_t>(selected)].label;
        }
        updateControls();
    }

    int run()
    {
        window_->show();
        showObject();
        Fl::check();
        runCommand(); // the command runs as the window opens, as a modeler's would
        return Fl::run();
    }

private:
    void buildWindow()
    {
        constexpr int kWidth = 960, kHeight = 712, kBar = 72; // the bar: buttons, then the status line
        window_ = std::make_unique<Fl_Double_Window>(kWidth, kHeight, "tuftsprout");
        viewport_ = new Viewport(0, 0, kWidth, kHeight - kBar);
        // The bar below: its buttons keep their places when the window narrows (the empty
        // room to their right gives), and the status line narrows with it.
        auto *bar = new Fl_Group(0, kHeight - kBar, kWidth, kBar);
        auto *room = new Fl_Box(kNarrowest, kHeight - kBar, kWidth - kNarrowest, 34);
        const auto button = [this](int x, const char *label, void (Session::*act)()) {
            auto *made = new Fl_Button(x, kHeight - kBar + 6, 100, 28, label);
            buttonActions_.push_back(std::make_unique<ButtonAction>(ButtonAction{this, act}));
            made->callback(
                [](Fl_Widget *, void *data) {
                    auto *action = static_cast<ButtonAction *>(data);
                    (action->session->*action->act)();
                },
                buttonActions_.back().get());
            return made;
        };
        button(8, "Run again", &Session::runCommand);
        undo_ = button(116, "Undo", &Session::undo);
        save_ = button(224, "Save", &Session::saveButton);
        target_ = new Fl_Choice(404, kHeight - kBar + 6, 230, 28, "Plant on");
        for (const PlantingTarget &target : targets_)
            target_->add(menuText(target.label).c_str(), 0, nullptr, nullptr, 0);
        target_->callback([](Fl_Widget *, void *data) { static_cast<Session *>(data)->pickTarget(); }, this);
        target_->when(FL_WHEN_RELEASE | FL_WHEN_NOT_CHANGED); // a second scatter may ask another density
        target_->value(-1);
        status_ = new Fl_Box(8, kHeight - 34, kWidth - 16, 28);
        bar->end();
        bar->resizable(room);
        status_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
        window_->end();
        window_->resizable(viewport_);
        window_->callback([](Fl_Widget *, void *data) { static_cast<Session *>(data)->close(); }, this);
        viewport_->onSceneShown = [this] { showStatusInTitle(); };
        updateControls();
    }

    host::LayerMesh &layer() { return object_.layer(kCurrentLayer)->mesh; }

    // The first target, picked for the person: the panel opens on it with the command
    // line's other options.
    void startOn(std::size_t index)
    {
        const PlantingTarget &target = targets_[index];
        if (!target.selection.empty())
            applySelection(object_, kCurrentLayer, target.selection);
        job_.selection = target.selection;
        std::vector<toolkit::UserAction> actions{{toolkit::UserAction::Type::kSet, "Mode", modeItem(target.mode)}};
        actions.insert(actions.end(), job_.actions.begin(), job_.actions.end());
        panels_.setInitialActions(actions);
        target_->value(static_cast<int>(index));
        pickedTarget_ = target.label;
    }

    // A target picked below the viewport: its selection made, its mode set for the
    // panel, and the command run on it.
    void pickTarget()
    {
        const PlantingTarget &target = targets_.at(static_cast<std::size_t>(target_->value()));
        std::optional<scatter::ScatterOptions> scattering;
        if (target.scatter) {
            fl_message_title("Scatter");
            const char *answer = fl_input("Points per unit of area, scattered over every polygon:", "100");
            char *end = nullptr;
            const double density = answer != nullptr ? std::strtod(answer, &end) : 0;
            if (answer == nullptr || end == answer || *end != '\0' || !(density > 0) || density > 1e12) {
                if (answer != nullptr)
                    alert(std::string("Not a density: \"") + answer + "\" (a number of points per unit of area)");
                return;
            }
            scattering = scatter::ScatterOptions{};
            scattering->density = density;
        }
        try {
            if (!target.selection.empty())
                applySelection(object_, kCurrentLayer, target.selection);
        } catch (const std::exception &error) {
            alert(error.what());
            return;
        }
        job_.selection = target.selection;
        job_.scatter = scattering;
        pickedTarget_ = target.label;
        panels_.setInitialActions({{toolkit::UserAction::Type::kSet, "Mode", modeItem(target.mode)}});
        updateControls();
        runCommand();
    }

    // The panel to the right of the main window, which moves or narrows to make room.
    std::pair<int, int> placePanel(int panelW, int panelH)
    {
        ScreenRect screen{};
        Fl::screen_work_area(screen.x, screen.y, screen.w, screen.h, window_->x(), window_->y());
        const SideBySide placed =
            placeBeside(screen, {window_->x(), window_->y(), window_->w(), window_->h()}, panelW, panelH, kNarrowest);
        const ScreenRect &moved = placed.window;
        if (moved.x != window_->x() || moved.w != window_->w()) {
            window_->resize(moved.x, moved.y, moved.w, moved.h);
            Fl::check(); // settled before the panel opens beside it
        }
        return {placed.panelX, placed.panelY};
    }

    // One use of the command; Cancel, or a failure, leaves the object as it was.
    void runCommand()
    {
        host::LayerMesh before = layer();
        const host::SelectionMode selection = object_.selectionMode;
        try {
            const Planting::Outcome outcome = planting_.run();
            const std::string &failure = planting_.modeler().failure();
            const bool planted = outcome.status == 0 && outcome.confirmed && failure.empty();
            if (!failure.empty())
                alert(failure + " while planting; the object is as it was");
            if (!planting_.reportFailure().empty())
                alert(planting_.reportFailure());
            if (planted) {
                const std::size_t first = before.pointCount();
                undos_.push_back({std::move(before), selection});
                unsaved_ = true;
                addBladeRun(first);
            } else {
                layer() = std::move(before);
                object_.selectionMode = selection;
            }
        } catch (const std::exception &error) {
            layer() = std::move(before);
            object_.selectionMode = selection;
            alert(error.what());
        }
        panels_.setInitialActions({}); // again is the person's own
        showObject();
    }

    void undo()
    {
        if (undos_.empty())
            return;
        layer() = std::move(undos_.back().mesh);
        object_.selectionMode = undos_.back().selection;
        undos_.pop_back();
        if (!bladeRuns_.empty() && bladeRuns_.back().firstPoint >= layer().pointCount()) // that run's blades
            bladeRuns_.pop_back();
        colourBlades();
        unsaved_ = true;
        showObject();
    }

    bool save()
    {
        if (job_.output.empty()) {
            alert("No output file was given: start the program with -o FILE");
            return false;
        }
        try {
            const meshio::WrittenCounts written = planting_.write(makeProgressWindow());
            std::fprintf(stderr, "wrote %s: %s\n", job_.output.c_str(), describeWritten(job_.output, written).c_str());
            unsaved_ = false;
            updateControls();
            showStatusInTitle();
            return true;
        } catch (const std::exception &error) {
            alert(error.what());
            return false;
        }
    }
    void saveButton() { save(); }

    // Closing with planting not yet written asks first.
    void close()
    {
        if (unsaved_) {
            fl_message_title("Unsaved grass");
            const int answer = fl_choice("The grass planted since the last save is not written to %s.\nSave it?",
                                         "Cancel", "Save", "Close without saving", job_.output.c_str());
            if (answer == 0 || (answer == 1 && !save()))
                return;
        }
        window_->hide();
    }

    // The blades the run added from point `first` on, coloured with the others when asked.
    void addBladeRun(std::size_t first)
    {
        const std::uint64_t bladePoints = bladeElements(planting_.closingPanel(), object_).points;
        if (bladePoints == 0 || !job_.colours)
            return;
        if (bladeRuns_.empty()) // one field for the session's runs
            colourSeed_ = static_cast<std::uint64_t>(planting_.clock());
        bladeRuns_.push_back({first, bladePoints, (layer().pointCount() - first) / bladePoints});
        colourBlades();
    }
    void colourBlades()
    {
        if (!job_.colours)
            return;
        colours_ = {app::colourBlades(*object_.layer(kCurrentLayer), bladeRuns_, *job_.colours, colourSeed_)};
        planting_.setBladeColours(colours_);
    }

    void showObject()
    {
        viewport_->show(view::sceneOf(object_, meshio::chosenLayers(object_, job_.writing.layers),
                                      {planting_.plantedSurface()}, colours_));
        updateControls();
    }

    void updateControls()
    {
        const host::LayerMesh &mesh = object_.layer(kCurrentLayer)->mesh;
        statusText_ = std::to_string(mesh.pointCount()) + " points, " + std::to_string(mesh.polygonCount()) +
                      " polygons" + (unsaved_ ? " (not saved)" : "");
        statusLine_ = statusText_ + " - planting on: " + pickedTarget_;
        status_->label(statusLine_.c_str());
        status_->tooltip(statusLine_.c_str());
        if (undo_ != nullptr)
            undos_.empty() ? undo_->deactivate() : undo_->activate();
        if (save_ != nullptr)
            unsaved_ ? save_->activate() : save_->deactivate();
        window_->redraw();
    }

    // The title says what the window shows once it shows it: the status of the object
    // drawn, after the frame is on the screen, so what is seen and said agree.
    void showStatusInTitle() { window_->copy_label(("tuftsprout: " + statusText_).c_str()); }

    struct Undo {
        host::LayerMesh mesh;
        host::SelectionMode selection;
    };

    PlantJob job_; // its selection and scatter follow the target picked
    host::Object object_;
    toolkit::WindowPanels panels_;
    Planting planting_;
    std::vector<PlantingTarget> targets_;
    std::string pickedTarget_ = "what the command line chose";
    Fl_Choice *target_ = nullptr;
    std::string statusLine_;
    std::unique_ptr<Fl_Double_Window> window_;
    Viewport *viewport_ = nullptr;
    Fl_Button *undo_ = nullptr, *save_ = nullptr;
    Fl_Box *status_ = nullptr;
    std::string statusText_;
    struct ButtonAction {
        Session *session;
        void (Session::*act)();
    };
    std::vector<std::unique_ptr<ButtonAction>> buttonActions_;
    std::vector<Undo> undos_;
    bool unsaved_ = false;
    std::vector<BladeRun> bladeRuns_; // what the runs planted, to colour
    std::vector<meshio::BladeColours> colours_;
    std::uint64_t colourSeed_ = 0;
};

} // namespace

int runGuiSession(const PlantJob &job)
{
    std::string why;
    if (!toolkit::displayAvailable(why))
        throw std::runtime_error("the window cannot be shown: " + why);
    checkFiles(job);
    Session session(job);
    return session.run();
}

} // namespace tuft::app
