#pragma once

// Text as files bring it, in any encoding and with any line ends, to the UTF-16 text with
// CR LF line ends that the window holds and the engine reads. Portable: the system gives
// only its character-set converters (platform/charset.h) and the reading of files.
//
// Data flows through it as:
//   decoding:  bytes, fed in pieces of any size -> TextDecoder (text_decoder.h: a byte-order
//              mark, else UTF-8 when valid, else code page 936 (cp936.h)) -> UTF-16
//   line ends: UTF-16 -> LineEndNormaliser (line_ends.h: LF, CR and CR LF all become CR LF)
//   loading:   a file -> LoadTextFile (text_file.h): all ASCII? widened as read, in pieces,
//              straight into the caller's room (AsciiWidener); otherwise read whole, decoded
//              and normalised
//   encoding:  UTF-16 -> code page 936 (Cp936Encoder), for the MIF banner's date line
// ascii.h holds the eight-bytes-at-a-time ASCII scan both directions share.

#include "ascii.h"
#include "cp936.h"
#include "line_ends.h"
#include "text_decoder.h"
#include "text_file.h"
