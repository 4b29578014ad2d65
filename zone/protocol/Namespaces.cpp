// The runtime library refers to one process-wide namespace table; Vorlen defines it.
#include "StatusService.nsmap"
