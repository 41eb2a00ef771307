#include "app/window_services.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Progress.H>
#include <FL/fl_ask.H>

#include <string>

namespace tuft::app {

namespace {

void showMessage(host::MessageKind kind, const char *first, const char *second)
{
    const std::string text = std::string(first != nullptr ? first : "") + "\n" + (second != nullptr ? second : "");
    fl_message_title(kind == host::MessageKind::kInfo ? "Info" : "Warning");
    if (kind == host::MessageKind::kInfo)
        fl_message("%s", text.c_str());
    else
        fl_alert("%s", text.c_str());
}

std::optional<std::string> chooseFile(const MhFileRequest &request)
{
    const bool save = request.type == MH_FREQ_SAVE;
    const std::string pattern = request.baseName != nullptr && *request.baseName ? request.baseName : "*";
    const std::string start = request.path != nullptr && *request.path ? request.path : ".";
    Fl_File_Chooser chooser(start.c_str(), pattern.c_str(), save ? Fl_File_Chooser::CREATE : Fl_File_Chooser::SINGLE,
                            request.title != nullptr ? request.title : "File");
    chooser.show();
    while (chooser.shown())
        Fl::wait();
    if (chooser.value() == nullptr)
        return std::nullopt;
    return std::string(chooser.value());
}

class ProgressWindow final : public host::ProgressDisplay {
public:
    void start(const char *title, const char *caption, std::uint32_t total) override
    {
        title_ = host::displayText(title);
        caption_ = host::displayText(caption);
        window_ = std::make_unique<Fl_Double_Window>(360, 60, title_.c_str());
        bar_ = new Fl_Progress(10, 15, 340, 30, caption_.c_str());
        bar_->minimum(0);
        bar_->maximum(total > 0 ? float(total) : 1.0f);
        bar_->align(FL_ALIGN_INSIDE);
        window_->end();
        window_->set_non_modal();
        window_->show();
        Fl::check();
        throttle_.start(total);
    }

    void advance(std::uint64_t done) override
    {
        if (!throttle_.due(done))
            return;
        bar_->value(float(done));
        Fl::check();
    }

    void finish() override
    {
        window_->hide();
        window_.reset();
        Fl::check();
    }

private:
    std::string title_, caption_;
    std::unique_ptr<Fl_Double_Window> window_;
    Fl_Progress *bar_ = nullptr;
    host::RedrawThrottle throttle_{100};
};

} // namespace

void installWindowServices(host::Modeler &modeler)
{
    modeler.setMessageSink(showMessage);
    modeler.setFileDialog(chooseFile);
    modeler.setProgressDisplay(makeProgressWindow());
}

std::unique_ptr<host::ProgressDisplay> makeProgressWindow() { return std::make_unique<ProgressWindow>(); }

} // namespace tuft::app
