// The steps around a planting, shared by the command line and the window: checking the
// files a job names, reading its object, telling warnings, writing a text whole.
#pragma once

#include "app/plant_job.h"
#include "meshio/output_set.h"

#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
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

// The files a run reads and writes, told apart by what they are (links followed), not by
// their names: no output may replace a file the run reads, nor share its file with another
// output. The exceptions replace a file read whole first with its own kind: the mesh
// output may replace the first input it was planted on (and what is written beside it
// what that input named), a preset saved may replace a preset loaded.
class RunFiles {
public:
    // The mesh written and the first input, or a file beside either; a preset; any other.
    enum class Part { kMesh, kBeside, kPreset, kOther };
    // A file read or written; `what` names it for a message ("the input in.obj").
    void read(std::string what, std::string path, Part part = Part::kOther);
    void written(std::string what, std::string path, Part part = Part::kOther);
    // The inputs of a job and what it writes, before anything is read.
    static RunFiles of(const PlantJob &job);
    // Throws UsageError, naming both, for an output that would replace an input or
    // share its file with another output.
    void check() const;

private:
    struct File {
        std::string what, path;
        bool output;
        Part part;
    };
    std::vector<File> files_;
};

// Makes a file's temporary file and gives it up: whether the file can be written.
void checkWritable(const std::string &path);
// Checks, before anything is read or planted, what the job will write and load.
void checkFiles(const PlantJob &job);
// Tells the warnings on standard error.
void warn(const std::vector<std::string> &warnings);

// The inputs: the first into the current layer, the others into layers 3, 4, ...; the
// files they name (material libraries, buffers) go into `files` as they are read.
void readInputs(const std::vector<std::string> &inputs, host::Object &object, meshio::UpAxis up, RunFiles &files);
// The object a job plants on: its inputs, selection and background layer. The files the
// meshes name are checked against what the job writes (UsageError) once they are read.
host::Object readObject(const PlantJob &job);
// The job's background mesh read into the background layer, in place of what it held.
void readBackground(const PlantJob &job, host::Object &object);
// A text file, added complete to `outputs`.
void writeText(meshio::OutputSet &outputs, const std::string &path, const std::string &text);

} // namespace tuft::app
