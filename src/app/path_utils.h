// Double-byte-aware string and path operations on ANSI text in the process's
// code page (code page 932 on the target system). Every search for a
// separator, dot or quote steps over double-byte characters as units, so the
// second byte of a character (which may equal '\\' or a letter) is never
// taken for one.
//
// Paths live in buffers of kMaxPath bytes: at most 259 bytes of text and the
// terminator. Operations that lengthen a path refuse to go beyond that and
// then leave the buffer as described per function.
#pragma once

#include <cstddef>

namespace zorv {

constexpr std::size_t kMaxPath = 260;

// --- Characters and strings -------------------------------------------------

// First occurrence of the single-byte character c in a character-wise scan of
// text; null when there is none (or c is the terminator).
const char* FindCharacter(const char* text, char c);
char* FindCharacter(char* text, char c);

// Last occurrence of c in a character-wise scan of [begin, end); null when
// there is none. end must lie on a character boundary.
const char* FindLastCharacter(const char* begin, const char* end, char c);
char* FindLastCharacter(char* begin, char* end, char c);

// Equal after folding a-z to A-Z; no other folding (bytes >= 0x80 compare
// exactly).
bool EqualIgnoringCase(char a, char b);

// Two whole texts equal under EqualIgnoringCase, character-wise: the second
// byte of a double-byte character compares exactly (it may look like a
// letter). Used for option words and settings values.
bool EqualTextIgnoringCase(const char* a, const char* b);

// 0 when the n bytes are equal, else the difference (a - b) of the first
// unequal pair taken as signed bytes.
int CompareBytes(const char* a, const char* b, std::size_t n);

// Wildcard match of the whole text: '*' any run of bytes, '?' one byte, ASCII
// letters without regard to case, double-byte characters exactly.
bool MatchPattern(const char* text, const char* pattern);

// --- Path predicates --------------------------------------------------------

// The last character (character-wise) is a backslash. False for "" and for a
// double-byte character whose second byte is 0x5C.
bool EndsWithBackslash(const char* path);

// "X:..." with an ASCII letter X, or "\\server\share..." (two backslashes, at
// least 3 bytes, and a later backslash followed by at least one more byte).
bool IsAbsolutePath(const char* path);

// Not empty and not IsAbsolutePath.
bool IsRelativePath(const char* path);

// The name is "." or "..".
bool IsDotEntry(const char* name);

// --- Path building (in place, in a kMaxPath buffer) -------------------------

// The part after the last backslash that is not the final character; the
// whole path when there is none. Points into path.
const char* GetFileNamePart(const char* path);
char* GetFileNamePart(char* path);

// When GetFileNamePart found a backslash, cut the path there and return true
// (C:\a\b.txt -> C:\a, C:\b.txt -> C:); otherwise leave it and return false.
bool RemoveFileNamePart(char* path);

// The extension from the first dot of the file-name part (of the whole path
// for a relative path), or the shared empty string. Points into path or to
// the empty string; never null.
const char* GetExtension(const char* path);

// Cut the path at the last dot of its file-name part and return that position
// (now the terminator); null and the path unchanged when there is no dot.
char* StripExtension(char* path);

// Append text when length(path) + length(text) + 1 <= kMaxPath; else leave
// the path unchanged and return false.
bool AppendLimited(char* path, const char* text);

// Ensure a final backslash. Returns the position of the terminator, or null
// (path unchanged) when the backslash would not fit.
char* AddBackslash(char* path);

// Append name to path with one backslash between them. An empty name leaves
// the path unchanged (true); an empty path takes the name without separator.
// On false the path is unchanged except that it may have gained the final
// backslash when only the name did not fit.
bool JoinPath(char* path, const char* name);

// True when path is a drive letter and a colon and nothing more ("C:"): the
// drive's current folder, not its root.
bool IsBareDrive(const char* path);

// JoinPath for the entries of a folder that may be a bare drive: "C:" takes
// the name without a separator ("C:name", in the drive's current folder),
// since "C:\name" would be in its root, another folder.
bool JoinInFolder(char* path, const char* name);

// Copy folder into output (a kMaxPath buffer, cut to 259 bytes) and JoinPath
// name to it; the join's result is ignored. Returns output.
char* CombinePath(char* output, const char* folder, const char* name);

// Put the path between double quotes, keeping a quote that is already at
// either end; "" becomes a pair of quotes. Returns false and leaves the path
// unchanged when the quoted path would not fit in kMaxPath bytes.
bool QuotePath(char* path);

}  // namespace zorv
