// Describing a loaded module as an XM image to write, in either layout.
#pragma once

#include "module_snapshot.h"
#include "xm_writer.h"

// The description of an image that loads into the same records as `module`: every pattern
// stored (those the order table alone made become stored empty patterns), cells packed anew,
// sample frames encoded in the form each sample had. The module name carries the title; no
// instrument or sample names.
XmModulePlan PlanFromSnapshot(const ModuleSnapshot& module, XmLayout layout);
