#ifndef MORVEX_TARGET_NAME_H
#define MORVEX_TARGET_NAME_H

#include "patch_format.h"

// The short upper-case name of the file a patch is for, taken from the last
// component of the original file's path as the system splits it (Windows at
// '\\', '/' or a drive's ':', without the trailing dots and spaces it drops;
// elsewhere at '/'), once the path is in the code page patches use (see
// patch_text.h). Names longer than 12 bytes become their first six bytes
// (fewer where a double-byte character would be split) and "~1.EXE".
// `*lost` (when `lost` is not NULL) is set to whether the name holds a '?'
// for a character `codePage` lacks.
TargetName DeriveTargetName(const char* originalPath, unsigned codePage, int* lost);

// A target name as a person sees it, shown as all patch text is (see
// ShowPatchText) into `out` (SHOWN_NAME_SIZE bytes); an empty one is "(none)".
const char* ShownName(const TargetName& name, char* out, unsigned codePage);

#endif
