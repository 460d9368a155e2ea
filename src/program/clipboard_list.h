// The list of file names copied to the clipboard (the shell's file-drop
// format), read on every start and used by the option "-c".
#pragma once

#include "app/file_list.h"

namespace zorv {

// The clipboard's file-drop names (CF_HDROP, through DragQueryFileW) as a
// FileList, in drop order, without resolution or existence checks; a name
// without an exact ANSI form (exact_name.h) is refused. An empty
// drop list gives a valid list with count 0; empty names are dropped (Wine
// reports the terminator of an empty list as one empty name). Invalid when
// the clipboard holds no file-drop data, cannot be opened, or the block
// cannot be allocated. The clipboard's contents are left as they were.
FileList ReadClipboardFileList();

}  // namespace zorv
