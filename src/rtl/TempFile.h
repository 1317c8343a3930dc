// The new file that an atomic write fills beside its target. Anybody who can write the target's
// folder could otherwise plant a file or a link at the name the next write will use, and have
// the write overwrite (and give away) whatever the link leads to. So the name is unpredictable
// and short, the file is created only if nothing of that name exists (no link followed), and it
// takes the replaced file's mode and owner through its own handle, never by name.
#pragma once

#include <cstdio>
#include <string>

namespace rtl {

// A name for a new file in Target's folder: the folder part of Target, ".morvane-", 16 random
// letters and digits, ".tmp". At most 34 characters more than the folder, whatever Target's own
// name, so a target whose name is near the file system's limit can still be written.
std::string TempNameBeside(const std::string& Target);

// Creates Path for writing, exclusively and without following a link (O_CREAT | O_EXCL |
// O_NOFOLLOW; CREATE_NEW on Windows). Null when something of that name exists already (try
// another name); raises EFCreateError(Path) for any other failure. When Target is a plain file
// the new file gets its permissions and, as far as the user may give it, its owner and group,
// through the new file's descriptor.
std::FILE* CreateNewFile(const std::string& Path, const std::string& Target);

}  // namespace rtl
