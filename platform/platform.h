#pragma once

// The operating system behind small seams, free of Qt, for the engine, the text library,
// the window and the command line. These headers name no system type; each system gives
// only what differs, in a folder of its own (posix/ and icu/ on Linux, windows/ on
// Windows), and the logic both share is written once here.
//
// Data flows through them as:
//   reading:  a file -> ReadWholeFile, or ReadRegularFile in pieces (text/text_file.h
//             widens ASCII as it comes) -> the window's text; or InputStream (read_file.h)
//             -> the command line, read twice (a pipe kept in an unnamed temporary file for
//             the second reading), a file one piece ahead on a thread of its own
//   writing:  bytes -> ByteTarget (byte_sink.h): AtomicFileWriter (a temporary file synced
//             while written, renamed over the target on commit) or DescriptorTarget (a
//             descriptor the shell opened, streams.h)
//   the rest: Clock (the date line), the character-set converters (charset.h: ICU, or
//             Windows' code page functions), errno values as text (io_error.h), the command
//             line's arguments and messages (console.h), temporary files removed on a
//             signal (signal_cleanup.h), the version (version.h)

#include "atomic_file.h"
#include "byte_sink.h"
#include "charset.h"
#include "clock.h"
#include "console.h"
#include "io_error.h"
#include "memory.h"
#include "paths.h"
#include "read_file.h"
#include "signal_cleanup.h"
#include "streams.h"
