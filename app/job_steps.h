// The steps around a planting, shared by the command line and the window: checking the
// files a job names, reading its object, telling warnings, writing a text whole.
#pragma once

#include "app/plant_job.h"

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

// Makes a file's temporary file and gives it up: whether the file can be written.
void checkWritable(const std::string &path);
// Checks, before anything is read or planted, what the job will write and load.
void checkFiles(const PlantJob &job);
// Tells the warnings on standard error.
void warn(const std::vector<std::string> &warnings);

// The inputs: the first into the current layer, the others into layers 3, 4, ...
void readInputs(const std::vector<std::string> &inputs, host::Object &object, meshio::UpAxis up);
// The object a job plants on: its inputs, selection and background layer.
host::Object readObject(const PlantJob &job);
// A text file, replaced whole.
void writeText(const std::string &path, const std::string &text);

} // namespace tuft::app
