#pragma once

// The services the engine, the window and the command line call, free of Qt. These headers
// are the seam to the operating system: they name no system type, and each system's
// implementation sits in a folder of its own (posix/ and icu/ on Linux, windows/ on
// Windows). platform/qt/ holds the window's side.
//
// Data flows through them as:
//   reading:  a file -> ReadWholeFile / ReadTextFile -> LoadTextFile (text_file.h: ASCII
//             widened as read, anything else through TextDecoder and LineEndNormaliser) ->
//             the window's text; or InputStream (read_file.h) -> the command line, read
//             twice (a pipe kept in an unnamed temporary file for the second reading), a
//             file one piece ahead on a thread of its own
//   writing:  bytes -> ByteTarget (byte_sink.h): AtomicFileWriter (a temporary file synced
//             while written, renamed over the target on commit) or DescriptorTarget (a
//             descriptor the shell opened, streams.h)
//   the rest: Clock (the date line), code page 936 both ways (cp936.h) and the other
//             character sets (charset.h: ICU, or Windows' code page functions), errno values
//             as text (io_error.h), the command line's arguments and messages (console.h),
//             temporary files removed on a signal (signal_cleanup.h), the version (version.h)

#include "ascii.h"
#include "atomic_file.h"
#include "byte_sink.h"
#include "charset.h"
#include "clock.h"
#include "console.h"
#include "cp936.h"
#include "io_error.h"
#include "line_ends.h"
#include "memory.h"
#include "paths.h"
#include "read_file.h"
#include "signal_cleanup.h"
#include "streams.h"
#include "text_decoder.h"
#include "text_file.h"
