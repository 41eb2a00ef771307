// The dynamic monitor a plug-in opens around a long run: shown by the progress display.
#include "host/modeler.h"

namespace tuft::host {

struct Modeler::MonitorState {
    MhMonitor table;
    Modeler *host;
    std::string title, caption;
    std::uint64_t done = 0;

    static MonitorState &of(void *data) { return *static_cast<MonitorState *>(data); }

    static void init(void *data, std::uint32_t total)
    {
        MonitorState &monitor = of(data);
        monitor.host->note("monitor init " + std::to_string(total));
        if (monitor.host->progress_)
            monitor.host->progress_->start(monitor.title.c_str(), monitor.caption.c_str(), total);
    }
    static int step(void *data, std::uint32_t increment)
    {
        MonitorState &monitor = of(data);
        monitor.done += increment;
        if (monitor.host->recording_)
            monitor.host->note("monitor step " + std::to_string(increment));
        if (monitor.host->progress_)
            monitor.host->progress_->advance(monitor.done);
        return 0;
    }
    static void finish(void *data)
    {
        MonitorState &monitor = of(data);
        monitor.host->note("monitor done");
        if (monitor.host->progress_)
            monitor.host->progress_->finish();
    }
};

void Modeler::FreeMonitor::operator()(MonitorState *monitor) const { delete monitor; }

MhMonitor *Modeler::createMonitor(const char *title, const char *caption)
{
    note("monitor create " + printable(title) + " | " + printable(caption));
    if (monitor_)
        return nullptr;
    monitor_.reset(new MonitorState());
    monitor_->table = {monitor_.get(), MonitorState::init, MonitorState::step, MonitorState::finish};
    monitor_->host = this;
    monitor_->title = printable(title);
    monitor_->caption = printable(caption);
    return &monitor_->table;
}

void Modeler::closeOpenMonitor() { monitor_.reset(); }

void Modeler::destroyMonitor(MhMonitor *monitor)
{
    note("monitor destroy");
    if (monitor_ && monitor == &monitor_->table)
        monitor_.reset();
}

} // namespace tuft::host
