/*
 * The binary layout of every table of modeler_host.h, proven by the compiler for the
 * target being built: 32-bit Windows (mingw-w64 i686, where doubles in structs align to
 * 8), 32-bit Linux (i386, where they align to 4) and the 64-bit targets (Linux and
 * Windows alike). Included by the plug-in and by the host, so a build for any of them
 * fails when a member moves, whether or not its programs can run on the build machine.
 */
#ifndef MODELER_HOST_LAYOUT_H
#define MODELER_HOST_LAYOUT_H

#include "sdk/modeler_host.h"

#include <cstddef>

namespace mh_layout {

constexpr std::size_t P = sizeof(void *);

#if defined(_WIN32) && !defined(_WIN64) && defined(__i386__)
static_assert(P == 4, "32-bit Windows");
constexpr std::size_t kDoubleRecordAlign = 8; // doubles align to 8 in Win32 structs
constexpr std::size_t kUnionAfterInt = 8;     // a union holding a double follows an int at 8
#elif defined(__i386__) && !defined(_WIN32)
static_assert(P == 4, "32-bit Linux");
constexpr std::size_t kDoubleRecordAlign = 4; // the i386 System V ABI aligns them to 4
constexpr std::size_t kUnionAfterInt = 4;
#elif defined(__x86_64__) || defined(_WIN64) || defined(__aarch64__)
static_assert(P == 8, "64-bit targets");
constexpr std::size_t kDoubleRecordAlign = 8;
constexpr std::size_t kUnionAfterInt = 8;
#else
#error "no recorded layout of the host interface for this target"
#endif

constexpr std::size_t kIs32 = P == 4 ? 1 : 0;

// The module descriptor: three words, then three pointers (six words on 32-bit targets).
static_assert(offsetof(MhModuleDescriptor, sync) == 0 && offsetof(MhModuleDescriptor, version) == 4 &&
              offsetof(MhModuleDescriptor, machine) == 8);
static_assert(offsetof(MhModuleDescriptor, startup) == (kIs32 ? 12 : 16));
static_assert(offsetof(MhModuleDescriptor, shutdown) == (kIs32 ? 16 : 24));
static_assert(offsetof(MhModuleDescriptor, servers) == (kIs32 ? 20 : 32));
static_assert(sizeof(MhModuleDescriptor) == (kIs32 ? 24 : 40));
static_assert(offsetof(MhServerRecord, className) == 0 && offsetof(MhServerRecord, serverName) == P &&
              offsetof(MhServerRecord, activate) == 2 * P && offsetof(MhServerRecord, tags) == 3 * P &&
              sizeof(MhServerRecord) == 4 * P);

// The argument record: 40 bytes on every target, the doubles at 8.
static_assert(sizeof(MhArgRecord) == 40 && alignof(MhArgRecord) == kDoubleRecordAlign);
static_assert(offsetof(MhArgRecord, type) == 0 && offsetof(MhArgRecord, bytes) == 0);
static_assert(offsetof(MhArgRecord, string.text) == (kIs32 ? 4 : 8));
static_assert(offsetof(MhArgRecord, string.length) == (kIs32 ? 8 : 16));
static_assert(offsetof(MhArgRecord, integer.value) == 4 && offsetof(MhArgRecord, integer.fallback) == 8);
static_assert(offsetof(MhArgRecord, number.value) == 8 && offsetof(MhArgRecord, number.fallback) == 16);
static_assert(offsetof(MhArgRecord, vector.value) == 8 && offsetof(MhArgRecord, vector.value[1]) == 16 &&
              offsetof(MhArgRecord, vector.value[2]) == 24 && offsetof(MhArgRecord, vector.fallback) == 32);

// The command sequence and the mesh edit: tables of pointers, in the documented order.
static_assert(offsetof(MhCommandSequence, data) == 0 && offsetof(MhCommandSequence, lookup) == P &&
              offsetof(MhCommandSequence, execute) == 2 * P && offsetof(MhCommandSequence, meshEditBegin) == 3 * P &&
              sizeof(MhCommandSequence) == 4 * P);
static_assert(offsetof(MhMeshEdit, state) == 0 && offsetof(MhMeshEdit, done) == P &&
              offsetof(MhMeshEdit, pointCount) == 2 * P && offsetof(MhMeshEdit, polygonCount) == 3 * P &&
              offsetof(MhMeshEdit, pointScan) == 4 * P && offsetof(MhMeshEdit, polygonScan) == 5 * P &&
              offsetof(MhMeshEdit, pointInfo) == 6 * P && offsetof(MhMeshEdit, polygonNormal) == 7 * P &&
              offsetof(MhMeshEdit, addPoint) == 8 * P && offsetof(MhMeshEdit, addPolygon) == 9 * P &&
              offsetof(MhMeshEdit, setPointMapValue) == 10 * P && offsetof(MhMeshEdit, selectPointMap) == 11 * P &&
              offsetof(MhMeshEdit, readPointMapValue) == 12 * P && sizeof(MhMeshEdit) == 13 * P);

// The records a scan hands out.
static_assert(offsetof(MhPointInfo, id) == 0 && offsetof(MhPointInfo, userData) == P &&
              offsetof(MhPointInfo, layer) == 2 * P && offsetof(MhPointInfo, flags) == 2 * P + 4 &&
              offsetof(MhPointInfo, position) == 2 * P + 8 && sizeof(MhPointInfo) == 2 * P + 32 &&
              alignof(MhPointInfo) == kDoubleRecordAlign);
static_assert(offsetof(MhPolygonInfo, id) == 0 && offsetof(MhPolygonInfo, userData) == P &&
              offsetof(MhPolygonInfo, layer) == 2 * P && offsetof(MhPolygonInfo, flags) == 2 * P + 4 &&
              offsetof(MhPolygonInfo, vertexCount) == 2 * P + 8 &&
              offsetof(MhPolygonInfo, vertices) == (kIs32 ? 20 : 32) && sizeof(MhPolygonInfo) == (kIs32 ? 24 : 40));

// The services looked up by name.
static_assert(offsetof(MhStateQuery, layerList) == 0 && offsetof(MhStateQuery, selectionMode) == P &&
              sizeof(MhStateQuery) == 2 * P);
static_assert(offsetof(MhMonitor, data) == 0 && offsetof(MhMonitor, init) == P && offsetof(MhMonitor, step) == 2 * P &&
              offsetof(MhMonitor, done) == 3 * P && sizeof(MhMonitor) == 4 * P);
static_assert(offsetof(MhDynamicMonitor, create) == 0 && offsetof(MhDynamicMonitor, destroy) == P &&
              sizeof(MhDynamicMonitor) == 2 * P);
static_assert(offsetof(MhInfoMessages, info) == 0 && offsetof(MhInfoMessages, warning) == P &&
              sizeof(MhInfoMessages) == 2 * P);
static_assert(offsetof(MhFileRequest, type) == 0 && offsetof(MhFileRequest, result) == 4 &&
              offsetof(MhFileRequest, title) == 8 && offsetof(MhFileRequest, fileType) == 8 + P &&
              offsetof(MhFileRequest, path) == 8 + 2 * P && offsetof(MhFileRequest, baseName) == 8 + 3 * P &&
              offsetof(MhFileRequest, fullName) == 8 + 4 * P && offsetof(MhFileRequest, bufferLength) == 8 + 5 * P &&
              offsetof(MhFileRequest, pickName) == (kIs32 ? 32 : 56) && sizeof(MhFileRequest) == (kIs32 ? 36 : 64));
static_assert(offsetof(MhSceneObjects, mapCount) == 0 && offsetof(MhSceneObjects, mapName) == P &&
              sizeof(MhSceneObjects) == 2 * P);

// The panel toolkit: its table, the control handle, and the two records with a union,
// whose place differs between 32-bit Windows and 32-bit Linux.
static_assert(offsetof(MhPanelServices, create) == 0 && offsetof(MhPanelServices, addControl) == P &&
              offsetof(MhPanelServices, open) == 2 * P && offsetof(MhPanelServices, destroy) == 3 * P &&
              sizeof(MhPanelServices) == 4 * P);
static_assert(offsetof(MhControl, get) == 0 && offsetof(MhControl, set) == P && offsetof(MhControl, draw) == 2 * P &&
              offsetof(MhControl, priv) == 3 * P && sizeof(MhControl) == 4 * P);
static_assert(offsetof(MhValue, type) == 0 && offsetof(MhValue, v) == kUnionAfterInt &&
              offsetof(MhValue, v.text.buffer) == kUnionAfterInt &&
              offsetof(MhValue, v.text.length) == kUnionAfterInt + P && offsetof(MhValue, v.number) == kUnionAfterInt &&
              sizeof(MhValue) == kUnionAfterInt + (kIs32 ? 8 : 16) && alignof(MhValue) == kDoubleRecordAlign);
static_assert(offsetof(MhControlDescriptor, type) == 0 && offsetof(MhControlDescriptor, d) == P &&
              offsetof(MhControlDescriptor, d.ints.b) == P + 4 && offsetof(MhControlDescriptor, d.ints.c) == P + 8 &&
              offsetof(MhControlDescriptor, d.choice.items) == P &&
              offsetof(MhControlDescriptor, d.choice.orientation) == 2 * P &&
              sizeof(MhControlDescriptor) == (kIs32 ? 16 : 24));

// Four-letter codes, packed big-endian.
static_assert(MH_MAP_WEIGHT == 0x57474854u && MH_MAP_UV == 0x54585556u && MH_POLY_FACE == 0x46414345u);

} // namespace mh_layout

#endif /* MODELER_HOST_LAYOUT_H */
