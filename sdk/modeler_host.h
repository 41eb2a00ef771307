/*
 * modeler_host.h: the binary contract between the grass plug-in and a Modeler host.
 *
 * A host opens the plug-in library, finds the one exported data object `_mod_descrip`
 * (an MhModuleDescriptor) and from then on the two meet only through the tables below.
 * The host hands the plug-in tables of function pointers; the plug-in hands the host its
 * descriptor and its callbacks. Every table is a plain struct whose fields stand in the
 * order given, with the platform's natural alignment; a host fills every field.
 *
 * Conventions
 *  - C linkage, the platform's default C calling convention (cdecl on 32-bit Windows).
 *  - Texts are zero-terminated byte strings, passed as they are (no encoding implied).
 *  - Point and polygon identifiers are opaque pointer-sized values chosen by the host;
 *    null means none. An identifier stays valid for the whole activation in which it
 *    was handed out.
 *  - Four-letter codes are packed big-endian into a uint32_t (MH_ID4).
 *
 * Unless a member says otherwise, texts the host returns stay valid until the next
 * call into the same service, and texts the plug-in passes are only read during the
 * call.
 */
#ifndef MODELER_HOST_H
#define MODELER_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------- */
/* Basic types                                                                         */

#define MH_ID4(a, b, c, d) \
    ((uint32_t)(((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d)))

#define MH_MAP_WEIGHT MH_ID4('W', 'G', 'H', 'T') /* 0x57474854: weight map, dimension 1 */
#define MH_MAP_UV MH_ID4('T', 'X', 'U', 'V')     /* 0x54585556: UV map, dimension 2 */
#define MH_POLY_FACE MH_ID4('F', 'A', 'C', 'E')  /* 0x46414345: ordinary polygon */

/** Opaque identifier of a point, chosen by the host. Null means none. */
typedef struct MhPointTag *MhPointId;
/** Opaque identifier of a polygon, chosen by the host. Null means none. */
typedef struct MhPolygonTag *MhPolygonId;

/* ---------------------------------------------------------------------------------- */
/* Module                                                                              */

#define MH_MODULE_SYNC 0x04121994u
#define MH_MODULE_VERSION 3u
#define MH_MODULE_MACHINE 0x300u

/**
 * Global lookup, handed to activate by the host.
 * Called by the plug-in during activation, once per service it needs, with use mode 0.
 * Returns the service's table (or function, see each service), or null when the host
 * lacks the service. "Product Info" answers a non-zero value cast to a pointer.
 * The returned tables stay valid until activate returns.
 */
typedef void *(*MhGlobalFn)(const char *serviceName, int useMode);

/**
 * Activate: called by the host each time the user runs the server's command, on the
 * host's thread; it returns when the whole use of the command is over.
 *  version     the host's interface version (3 for this contract);
 *  global      the host's global lookup;
 *  local       for a "CommandSequence" server, the host's MhCommandSequence;
 *  serverData  whatever the host keeps for the server; may be null, never read.
 * Returns 0 when the command ran, 1 for a wrong version, 2 when a service is missing.
 */
typedef int (*MhActivateFn)(int version, MhGlobalFn global, void *local, void *serverData);

/** One server of the module. The table ends with a record whose four fields are null. */
typedef struct MhServerRecord {
    const char *className;  /* "CommandSequence" */
    const char *serverName; /* the command's name */
    MhActivateFn activate;  /* see MhActivateFn */
    void *tags;             /* null: no user name, description or menu tags */
} MhServerRecord;

/**
 * The module descriptor, the library's only export, named `_mod_descrip`.
 * Six 32-bit words on a 32-bit target.
 */
typedef struct MhModuleDescriptor {
    uint32_t sync;    /* MH_MODULE_SYNC; a host refuses any other value */
    uint32_t version; /* MH_MODULE_VERSION */
    uint32_t machine; /* MH_MODULE_MACHINE */
    /** Called by the host once, right after loading; returns a non-null token. */
    void *(*startup)(void);
    /** Called by the host once, before unloading, with the token startup returned. */
    void (*shutdown)(void *token);
    /** First record of the server table. */
    const MhServerRecord *servers;
} MhModuleDescriptor;

/* ---------------------------------------------------------------------------------- */
/* Command arguments                                                                   */

enum MhArgType {
    MH_ARG_NULL = 0,   /* no value: the host uses its default for the argument */
    MH_ARG_STRING = 1, /* text and buffer length (0 when the text is only read) */
    MH_ARG_INTEGER = 2,
    MH_ARG_FLOAT = 3,
    MH_ARG_VECTOR = 6
};

/**
 * Argument record: 40 bytes, in arrays at a stride of 40, with the type tag at offset 0.
 * The doubles stand at offset 8 on every target; the explicit padding word keeps them
 * there on 32-bit x86, where doubles in structs are otherwise aligned to 4.
 * Fields beyond the ones a writer names are left unset and must not be read.
 */
typedef union MhArgRecord {
    int32_t type; /* an MhArgType */
    struct {
        int32_t type;
        const char *text; /* offset 4 on 32-bit targets, 8 on 64-bit */
        int32_t length;   /* buffer length; 0 means the text is only read */
    } string;
    struct {
        int32_t type;
        int32_t value;
        int32_t fallback;
    } integer;
    struct {
        int32_t type;
        int32_t pad;
        double value;    /* offset 8 */
        double fallback; /* offset 16 */
    } number;
    struct {
        int32_t type;
        int32_t pad;
        double value[3]; /* offsets 8, 16, 24 */
        double fallback; /* offset 32 */
    } vector;
    unsigned char bytes[40];
} MhArgRecord;

/* ---------------------------------------------------------------------------------- */
/* Mesh edit                                                                           */

enum MhLayerSel { MH_LAYER_PRIMARY = 0 };
enum MhCountMode { MH_COUNT_ALL = 0, MH_COUNT_SELECTED = 1 };
#define MH_FLAG_SELECTED 1

/** What a point scan and point info hand out. Valid only during the call that gives it. */
typedef struct MhPointInfo {
    MhPointId id;
    void *userData;     /* the host's per-point buffer; null when none was asked for */
    int layer;          /* the layer number the point lives in */
    int flags;          /* bit 0 (MH_FLAG_SELECTED): selected */
    double position[3]; /* x, y, z */
} MhPointInfo;

/** What a polygon scan hands out. Valid only during the callback. */
typedef struct MhPolygonInfo {
    MhPolygonId id;
    void *userData; /* the host's per-polygon buffer; null when none was asked for */
    int layer;
    int flags;                 /* bit 0: selected */
    int vertexCount;           /* number of entries in vertices */
    const MhPointId *vertices; /* the polygon's points, in order */
} MhPolygonInfo;

/** Called by a point scan once per point; return 0 to go on, anything else to stop. */
typedef int (*MhPointScanFn)(void *userData, const MhPointInfo *info);
/** Called by a polygon scan once per polygon; return 0 to go on, anything else to stop. */
typedef int (*MhPolygonScanFn)(void *userData, const MhPolygonInfo *info);

/**
 * A mesh edit, returned by MhCommandSequence.meshEditBegin. The plug-in passes `state`
 * first to every call. Points and polygons are added to the active layer. The table
 * stays valid until done is called.
 */
typedef struct MhMeshEdit {
    void *state;
    /** Ends the edit: error 0 keeps the edits, anything else drops them. */
    void (*done)(void *state, int errorCode, int selectionFlags);
    /** Points of the layer (0: primary); mode 0 all, 1 selected only. */
    int (*pointCount)(void *state, int layer, int mode);
    /** Polygons of the layer; as pointCount. */
    int (*polygonCount)(void *state, int layer, int mode);
    /** Calls back once per point of the layer, in order, until a callback returns non-zero.
        Returns that value, or 0 after the last point. */
    int (*pointScan)(void *state, MhPointScanFn callback, void *userData, int layer);
    /** As pointScan, for polygons. */
    int (*polygonScan)(void *state, MhPolygonScanFn callback, void *userData, int layer);
    /** The point's record, valid until the next call into the edit; null for an unknown id. */
    const MhPointInfo *(*pointInfo)(void *state, MhPointId point);
    /** Writes the polygon's unit normal and returns 1; returns 0 and leaves `normal`
        alone when the polygon has none (unknown id, or fewer than three points). */
    int (*polygonNormal)(void *state, MhPolygonId polygon, double normal[3]);
    /** Adds a point; returns its id, or null when the host refuses. */
    MhPointId (*addPoint)(void *state, const double position[3]);
    /** Adds a polygon of the given type and surface over the points; `templatePolygon`
        may be null. Returns its id, or null when refused. */
    MhPolygonId (*addPolygon)(void *state, uint32_t type, MhPolygonId templatePolygon, const char *surface,
                              int vertexCount, const MhPointId *vertices);
    /** Sets the point's value in the map of that type and name, creating the map with the
        given dimension if needed. Returns 1 when set, 0 when refused. */
    int (*setPointMapValue)(void *state, MhPointId point, uint32_t mapType, const char *mapName, int dimension,
                            const float *values);
    /** Selects the map of that type and name for readPointMapValue; `map` is unused and
        may be null. Returns the selected map, or null when there is none. */
    void *(*selectPointMap)(void *state, void *map, uint32_t mapType, const char *mapName);
    /** Reads the point's value in the selected map; 1 when it has one, 0 otherwise (the
        floats are then left alone). */
    int (*readPointMapValue)(void *state, MhPointId point, float *values);
} MhMeshEdit;

/* ---------------------------------------------------------------------------------- */
/* Command sequence (the `local` argument of activate)                                 */

typedef struct MhCommandSequence {
    /** The host's context, passed first to the three calls below. */
    void *data;
    /** Looks a command up by its upper-case name; 0 when unknown. Codes stay valid while
        the plug-in stays loaded. */
    int (*lookup)(void *data, const char *commandName);
    /** Runs a command on the active layer. `arguments` may be null when `count` is 0;
        `result` may be null. Returns 0 for success. */
    int (*execute)(void *data, int code, int count, const MhArgRecord *arguments, int selectionMode,
                   MhArgRecord *result);
    /** Opens a mesh edit on the object; null when none can be opened. */
    MhMeshEdit *(*meshEditBegin)(void *data, int pointDataSize, int polygonDataSize, int selectionMode);
} MhCommandSequence;

/* ---------------------------------------------------------------------------------- */
/* Services looked up by name                                                           */

/** "LWM: State Query 3" */
typedef struct MhStateQuery {
    /** The layers of a kind as a text of numbers separated by blanks (which: 0 primary,
        2 background); an empty text when there are none. `objectName` null: the edited
        object. */
    const char *(*layerList)(int which, const char *objectName);
    /** which 0: the selection mode, 0 points, 1 polygons. */
    int (*selectionMode)(int which);
} MhStateQuery;

/** A progress monitor, created by MhDynamicMonitor.create. */
typedef struct MhMonitor {
    void *data;
    void (*init)(void *data, uint32_t total);
    /** Advances by `increment`; returns non-zero when the user asked to stop. */
    int (*step)(void *data, uint32_t increment);
    void (*done)(void *data);
} MhMonitor;

/** "LWM: Dynamic Monitor" */
typedef struct MhDynamicMonitor {
    /** A new monitor with a title and a caption, or null when none can be shown. */
    MhMonitor *(*create)(const char *title, const char *caption);
    /** Releases a monitor made by create. */
    void (*destroy)(MhMonitor *monitor);
} MhDynamicMonitor;

/** "Info Messages 2": two-line message boxes; both calls return when the user closed it. */
typedef struct MhInfoMessages {
    void (*info)(const char *firstLine, const char *secondLine);
    void (*warning)(const char *firstLine, const char *secondLine);
} MhInfoMessages;

enum MhFileRequestType { MH_FREQ_LOAD = 1, MH_FREQ_SAVE = 2 };

/** The record a "File Request 2" call fills in. */
typedef struct MhFileRequest {
    int type;              /* MH_FREQ_LOAD or MH_FREQ_SAVE, set by the caller */
    int result;            /* set by the host: 1 when the user confirmed a file */
    const char *title;     /* the dialog's title */
    const char *fileType;  /* a file-type word such as "ZTS" */
    char *path;            /* in: the starting directory; out: the chosen directory */
    char *baseName;        /* in: the initial name or pattern; out: the chosen name */
    char *fullName;        /* out: the chosen file's full path */
    int bufferLength;      /* length of each of the three buffers above */
    int (*pickName)(void); /* null */
} MhFileRequest;

/** "File Request 2" is this function itself. Returns non-zero when the dialog ran. */
typedef int (*MhFileRequestFn)(int version, MhFileRequest *request);

/** "Directory Info" is this function itself: the directory of that name ("Content"), or
    null when the host has none. */
typedef const char *(*MhDirectoryInfoFn)(const char *directoryName);

/** "Scene Objects 5" */
typedef struct MhSceneObjects {
    /** The number of point maps of that type in the scene. */
    int (*mapCount)(uint32_t mapType);
    /** The name of the index-th map of that type, or null past the end. */
    const char *(*mapName)(uint32_t mapType, int index);
} MhSceneObjects;

/* ---------------------------------------------------------------------------------- */
/* Panel toolkit ("LWPanelServices")                                                    */

typedef struct MhPanelTag *MhPanel;

enum MhValueType { MH_VAL_TEXT = 1, MH_VAL_INT = 2, MH_VAL_DOUBLE = 3, MH_VAL_POINTER = 4 };

/**
 * A value exchanged with a control. The caller of get sets the type (and for a text the
 * buffer and its length) to what it wants to read; the toolkit converts to that type and
 * never writes more than `length` bytes, always zero-terminated. The caller of set may
 * give any type; the toolkit converts it to the control's own kind.
 */
typedef struct MhValue {
    int type; /* an MhValueType */
    union {
        struct {
            char *buffer;
            int length;
        } text;
        int integer;
        double number;
        void *pointer;
    } v;
} MhValue;

enum MhAttribute {
    MH_ATTR_X = 0,
    MH_ATTR_Y = 1,
    MH_ATTR_WIDTH = 2,
    MH_ATTR_HEIGHT = 3,
    MH_ATTR_VALUE = 4,
    MH_ATTR_CALLBACK = 14, /* a pointer value holding an MhControlCallback */
    MH_ATTR_USER_DATA = 16 /* a pointer value */
};

enum MhDrawMode { MH_DRAW_NORMAL = 1, MH_DRAW_GHOSTED = 2 };

/** The handle add control returns; the plug-in calls through its first three fields. */
typedef struct MhControl MhControl;
struct MhControl {
    void (*get)(MhControl *control, int attribute, MhValue *value);
    void (*set)(MhControl *control, int attribute, const MhValue *value);
    /** Draws the control; MH_DRAW_GHOSTED shows it disabled. For an "OpenGLControl",
        MH_DRAW_NORMAL makes its callback draw with the area's context current. */
    void (*draw)(MhControl *control, int drawMode);
    void *priv; /* the toolkit's own */
};

/** Descriptor type numbers, by what the descriptor's fields hold. */
enum MhDescriptorType {
    MH_DESC_EDIT = 1,   /* a text field: a = its capacity in bytes */
    MH_DESC_PLAIN = 2,  /* an integer field or a button: no fields */
    MH_DESC_FLOAT = 4,  /* a floating-point field: no fields */
    MH_DESC_BOOL = 8,   /* a check box: no fields */
    MH_DESC_CHOICE = 9, /* a choice: the items and their orientation */
    MH_DESC_RANGE = 15, /* a slider: a = width, b = minimum, c = maximum */
    MH_DESC_AREA = 19   /* a drawing area: a = width, b = height */
};

/** Describes a control at creation: a type number, then three integers or a choice. */
typedef struct MhControlDescriptor {
    int type;
    union {
        struct {
            int a, b, c;
        } ints;
        struct {
            const char *const *items; /* null-terminated */
            int orientation;
        } choice;
    } d;
} MhControlDescriptor;

/** Called by the toolkit, while the panel is open, when the user changes the control,
    and for an "OpenGLControl" whenever the area is drawn. */
typedef void (*MhControlCallback)(MhControl *control, void *userData);

enum MhOpenFlags { MH_OPEN_MODAL = 1, MH_OPEN_OK_CANCEL = 2 };

typedef struct MhPanelServices {
    /** A new, empty panel; null on failure. `reserved` is 0. */
    MhPanel (*create)(const char *title, void *reserved);
    /** Adds a control of the named kind, placed below the ones before it; null on
        failure. The descriptor and label are copied. */
    MhControl *(*addControl)(MhPanel panel, const char *kindName, const MhControlDescriptor *descriptor,
                             const char *label);
    /** Shows the panel; with MH_OPEN_MODAL it returns when the panel closes, 1 for OK.
        Controls stay readable after it returns, until destroy. */
    int (*open)(MhPanel panel, int flags);
    /** Releases the panel and its controls. */
    void (*destroy)(MhPanel panel);
} MhPanelServices;

#ifdef __cplusplus
}
#endif

#endif /* MODELER_HOST_H */
