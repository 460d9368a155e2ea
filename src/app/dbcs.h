// The double-byte seam of the string operations: the lead-byte test and the
// step to the next character. On Windows both follow the process's ANSI code
// page (IsDBCSLeadByte, CharNextA); elsewhere they follow code page 932, the
// code page the program is written for, so the portable companion splits
// paths exactly as the Windows program does.
#pragma once

namespace zorv {

// True when c starts a double-byte character.
bool IsLeadByte(char c);

// The position of the character after the one at p. A lead byte steps over
// the pair, but never over the terminator (a lead byte at the end of the
// text steps one byte); at the terminator p itself is returned.
const char* NextCharacter(const char* p);
char* NextCharacter(char* p);

}  // namespace zorv
