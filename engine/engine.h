#pragma once

// The conversion engine, free of any user interface.
//
// Data flows one way, in pieces, never holding the digit string or the word list whole:
//   input: the box's UTF-16 text (lines end at CR LF), or a text file's bytes through
//          FileDigitStream (TextDecoder, then every line end made CR LF)
//   -> DelimiterStripper: blanks, TAB, ',', ';', '{', '}', "0x"/"0X", CR LF removed.
//      64 characters at a time where block_scan.h's fast path covers them (SSE2, or plain
//      C++ over 64-bit words), character by character elsewhere; that path is the
//      definition, and a block is handed between the two with at most a '0' held back.
//   -> pass 1: count the digits and check them (StrayFinder; IsRadixDigit); a stray is
//      located only then, by a rescan with positions
//   -> ComputeLayout -> WordLayout (data width, digits per word, depth)
//   -> pass 2: the same stripping again -> MifWriter: words cut and content lines formatted
//      straight into a reused 1 MiB chunk -> ByteSink (FileSink: AtomicFileWriter, which
//      syncs a large file while it is written and replaces the file on commit)
// ConvertToMif drives both passes over the box's text and returns a ConvertResult; the
// caller decides what to show. Lengths and positions count UTF-16 code units, columns
// characters.

#include "convert.h"
#include "extract.h"
#include "mif_writer.h"
#include "stream.h"
