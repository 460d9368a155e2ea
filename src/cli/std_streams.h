// Standard input and output as the transforms' byte source and sink, for
// pipes: read and written with the system's own calls, so no C library
// buffer holds a copy of the plain text and no text mode adds CR bytes on
// Windows. The report lines keep going through stdio on the other streams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/file_transform.h"

namespace zorv {

// Reads standard input until n bytes are in or it ends. Stops as a failed
// read once the user has interrupted the run.
class StandardInputSource : public ByteSource {
public:
    std::size_t Read(std::uint8_t* buffer, std::size_t n) override;
};

// Writes standard output. A reader that went away (cat into head) is a
// normal end for a pipe, not a failure to report: pipeClosed tells it apart.
class StandardOutputSink : public ByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t n) override;
    bool pipeClosed = false;
};

// Linux: asks for 1 MiB pipe buffers on standard input and output when they
// are pipes, so that a stream moves in large pieces with few wake-ups of
// the process on the other end (the default holds 64 KiB). A hint: a
// refusal changes nothing.
void WidenStandardPipes();

// True when standard output is a terminal (a console on Windows).
bool StandardOutputIsTerminal();

// POSIX: opens /dev/null on each of descriptors 0 to 2 that is closed, so
// that no file the program opens later takes the number of a standard
// stream and receives its report lines. Call first, before any file is
// opened. Nothing to do on Windows, where files get handles, not these
// numbers.
void OpenMissingStandardStreams();

}  // namespace zorv
