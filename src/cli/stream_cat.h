// Transforms whose output is a stream rather than a file: cat and -c (a
// file to standard output) and input "-" (standard input to standard
// output), through the same bytes that EncryptFile and DecryptFile give. A
// wrong password is only known at the end, after the data: the caller
// reports it then.
#pragma once

#include <string>

#include "cli/batch_plan.h"
#include "crypto/file_cipher.h"
#include "crypto/file_transform.h"
#include "crypto/result_code.h"

namespace zorv {

// The file at path, encrypted (kEncrypt) or decrypted (kDecrypt, kCat), to
// sink. Returns 0, the transform's codes (70, 75, 80, 82, 83 ...), or
// kResultInterrupted.
ResultCode StreamFile(Command command, const FileCipher& cipher, const std::string& path,
                      ByteSink& sink);

// Standard input, encrypted or decrypted to sink; kVerify decrypts and
// discards the plain text. The same results as StreamFile but 70. threads:
// processors it may use.
ResultCode StreamStandardInput(Command command, const FileCipher& cipher, ByteSink& sink,
                               unsigned threads);

}  // namespace zorv
