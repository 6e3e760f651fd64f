// Describing a loaded module as an XM image to write, in either layout.
#pragma once

#include "file_layout.h"
#include "module_snapshot.h"
#include "xm_writer.h"

// The description of an image that loads into the same records as `module`: every pattern
// stored (those the order table alone made become stored empty patterns), cells packed anew,
// sample frames encoded in the form each sample had. The module name carries the title; no
// instrument or sample names.
XmModulePlan PlanFromSnapshot(const ModuleSnapshot& module, XmLayout layout);

// Puts into `plan` what the file the module came from stores beyond the records and what the
// plan's layout can hold: the Module name bytes as stored in both layouts; in the standard layout
// also the tracker name, the instrument and sample names and the bytes behind the module's data.
void KeepFileTexts(XmModulePlan& plan, const XmFileLayout& file, const std::string& bytes);

// Empty when `layout` keeps all of the file's texts; otherwise a list of what it drops, such as
// "the tracker name \"FastTracker v2.00\", 12 instrument names, 30 sample names".
std::string DroppedTexts(XmLayout layout, const XmFileLayout& file, const std::string& bytes);

// Writes `module` (loaded from `bytes`, whose walk is `file`) in `layout` with the texts that
// layout keeps into `image`, and loads the image. Empty when it loads into the same records as
// `module`; otherwise "does not load" or "differs in " and the first field that differs. The
// image's records stay in gPlayer.
std::string RewriteModule(const ModuleSnapshot& module, const XmFileLayout& file,
                          const std::string& bytes, XmLayout layout, std::string& image);
