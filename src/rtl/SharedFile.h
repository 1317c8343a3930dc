// Adding to a file that other programs and other runs of Morvane share (the game's shader list):
// several imports may add their line at the same moment, and none may lose another's.
#pragma once

#include <string>

namespace rtl {

// Appends Bytes to the plain file at Path in one write at its very end, as the system places it
// (O_APPEND; FILE_APPEND_DATA on Windows), so that what another process appends at the same
// moment stays whole beside it. Never through a link, never to anything but an existing plain
// file: those raise ENotWritten. Raises EFCreateError when the file cannot be opened for
// writing, EWriteError when the bytes did not all reach it (a part that did is cut off again
// where nobody has appended since).
void AppendToFile(const std::string& Path, const std::string& Bytes);

}  // namespace rtl
