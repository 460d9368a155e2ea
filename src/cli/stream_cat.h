// cat: the plain text of a .crp file to standard output, through the
// cipher core's stream transform, so a pipe gets exactly the bytes that
// DecryptFile would write. A wrong password is only known at the end, after
// the data: the caller reports it then.
#pragma once

#include <string>

#include "crypto/file_cipher.h"
#include "crypto/result_code.h"

namespace zorv {

// Returns 0, the transform's codes (70, 75, 80, 82, 83 ...), or
// kResultInterrupted. Standard output is flushed before returning.
ResultCode CatFile(const FileCipher& cipher, const std::string& path);

}  // namespace zorv
