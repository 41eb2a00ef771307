#include "plugin/grow/transfer.h"

#include "plugin/entry/commands.h"

namespace tuft {

void bladeIntake(Host &host)
{
    setLayer(host, host.layers.templ);
    copyLayer(host);
    setLayer(host, host.layers.work);
    pasteLayer(host);
}

void bladeHandOver(Host &host)
{
    cutLayer(host);
    setLayer(host, host.layers.current);
    pasteLayer(host);
}

void disposeTemplate(Host &host, Disposal disposal)
{
    setLayer(host, host.layers.templ);
    if (disposal == Disposal::kCut)
        cutLayer(host);
    else
        deleteLayer(host);
    setLayer(host, host.layers.current);
}

} // namespace tuft
