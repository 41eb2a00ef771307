// The readers and writers of each format, behind readMesh and writeMesh.
#pragma once

#include "meshio/meshio.h"

#include <string>
#include <vector>

namespace tuft::meshio {

void readObj(const std::string &path, host::Object &object, int layer);
void readPly(const std::string &path, host::Object &object, int layer);

WrittenCounts writeObj(const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, const WriteProgress &progress);
WrittenCounts writePly(const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, bool ascii, const WriteProgress &progress);

} // namespace tuft::meshio
