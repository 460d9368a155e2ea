// Splitting the program's command line into a FileList.
#pragma once

#include <cstddef>

#include "app/file_list.h"

namespace zorv {

// Splits the wide command line text into items: spaces (0x20 only; a tab is
// an ordinary character) separate them; an item that starts with a double
// quote runs to the next double quote (or the end), which is consumed, so
// another item may follow it directly; otherwise an item runs to the next
// space and quotes inside it are ordinary. The text is split in its wide
// form, so no character that the ANSI form would map to a quote or a space
// can end an item. Each item without an exact ANSI form (exact_name.h) is
// refused; every other item's ANSI text is resolved with ResolveFoundName
// (stored name of the first matching entry; unchanged when nothing matches
// or when it has 260 bytes or more), and refused when that stored name has
// no exact ANSI form. Item 0 is the program path as written. Returns an
// invalid list (count 0) when the block cannot be allocated.
FileList SplitCommandLine(const wchar_t* text);

// One item of a command line: its raw text [begin, begin + length) without
// the quotes. Steps *cursor past the item (and its closing quote); false at
// the end of the text. Exposed for the tests.
bool NextCommandLineItem(const wchar_t** cursor, const wchar_t** begin, std::size_t* length);

}  // namespace zorv
