// The steps a run of the program is made of, shared by the command line and the window:
// checking and reading the files, scattering, writing the output.
#pragma once

#include "app/plant_job.h"
#include "host/progress.h"

#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace tuft::app {

constexpr int kCurrentLayer = 1;
constexpr int kBackgroundLayer = 2;

// Runs a step of the job; a failure of the machine's (memory, threads) or of a library
// becomes a message that says which step it stopped.
template <typename Step> auto during(const std::string &what, Step step) -> decltype(step())
{
    try {
        return step();
    } catch (const std::bad_alloc &) {
        throw std::runtime_error("out of memory while " + what);
    } catch (const std::system_error &error) {
        throw std::runtime_error(what + ": " + error.what());
    }
}

// Makes a file's temporary file and gives it up: whether the file can be written.
void checkWritable(const std::string &path);
// Checks, before anything is read or planted, what the job will write and load.
void checkFiles(const PlantJob &job, const std::vector<PresetUse> &presets);
// Tells the warnings on standard error.
void warn(const std::vector<std::string> &warnings);

// The inputs: the first into the current layer, the others into layers 3, 4, ...
void readInputs(const std::vector<std::string> &inputs, host::Object &object, meshio::UpAxis up);
// The object a job plants on: its inputs, selection and background layer.
host::Object readObject(const PlantJob &job);
// The points and polygons of the current layer, to tell whether a run added any.
std::size_t elementsIn(const host::Object &object);
// Scatters the points Point mode will plant on, selecting all polygons when none are.
scatter::ScatterResult scatterForPlanting(const PlantJob &job, host::Object &object, std::int64_t clock);

// A text file, replaced whole.
void writeText(const std::string &path, const std::string &text);
// How a file was made, for formats that keep it: the clock the blades were seeded
// from, the inputs, and every option of the panel as it stood at OK.
std::vector<std::pair<std::string, std::string>> provenanceOf(const PlantJob &job, const toolkit::PanelView &panel,
                                                              std::int64_t clock);
// Writes the job's output, showing how far it has come on `display` (the terminal's bar
// when null and standard error is a terminal).
meshio::WrittenCounts writeOutput(const PlantJob &job, const host::Object &object, const std::string &plantedSurface,
                                  std::vector<std::pair<std::string, std::string>> provenance,
                                  std::unique_ptr<host::ProgressDisplay> display = host::makeTerminalProgress());

} // namespace tuft::app
