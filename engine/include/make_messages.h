#ifndef MORVEX_MAKE_MESSAGES_H
#define MORVEX_MAKE_MESSAGES_H

// What making a patch says when it cannot, in every front end's words alike.
inline constexpr char ErrorNoOriginal[] = "You must select the unmodified file first!";
inline constexpr char ErrorNoModified[] = "You must select the modified file first!";
inline constexpr char ErrorOpeningOriginal[] = "Error opening original file!";
inline constexpr char ErrorOpeningModified[] = "Error opening modified file!";
inline constexpr char ErrorReadingOriginal[] = "Error reading original file!";
inline constexpr char ErrorReadingModified[] = "Error reading modified file!";
inline constexpr char ErrorSizesDiffer[] = "Files don't appear to be the same size!";
inline constexpr char ErrorTooLarge[] = "Files of 2 GB or more are not supported!";
inline constexpr char ErrorOpeningPatch[] = "Error opening file to write patch to!";
inline constexpr char ErrorPatchOverInput[] = "The patch can't be written over one of the files being compared!";
inline constexpr char PatchComplete[] = "Patch Complete!";
inline constexpr char ErrorTooManyDifferences[] = "Too many differences to fit in one patch!";

#endif
