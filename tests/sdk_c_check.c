/* Compiles the host interface as strict C99. */
#include "sdk/modeler_host.h"

#include <stddef.h>

typedef char check_record_size[sizeof(MhArgRecord) == 40 ? 1 : -1];
typedef char check_number_offset[offsetof(MhArgRecord, number.value) == 8 ? 1 : -1];
typedef char check_vector_offset[offsetof(MhArgRecord, vector.fallback) == 32 ? 1 : -1];
