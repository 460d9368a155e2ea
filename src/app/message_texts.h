// The string table's texts for portable code (the command-line companion),
// generated at build time from res/messages.ja.txt, the same source the
// Windows string table is built from.
#pragma once

namespace zorv {

// The UTF-8 text of the string-table entry id, with real line feeds; the
// empty string for an ID that is not in the table. Never null.
const char* MessageTextUtf8(int id);

}  // namespace zorv
