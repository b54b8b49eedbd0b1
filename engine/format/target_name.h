#ifndef MORVEX_TARGET_NAME_H
#define MORVEX_TARGET_NAME_H

#include "patch_format.h"

// The short upper-case name of the file a patch is for, taken from the last
// component of the original file's path. Names longer than 12 characters
// become their first six bytes (fewer where a double-byte character would be
// split) and "~1.EXE". The path is in the code page patches use.
TargetName DeriveTargetName(const char* originalPath);

// The target name as a patch stores it: derived from the path once the path
// is in the code page patches use (see patch_text.h).
TargetName StoredTargetName(const char* path);

#endif
