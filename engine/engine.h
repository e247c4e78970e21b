#pragma once

// The conversion engine, free of any user interface and of I/O of its own.
//
// Data flows one way, in pieces, never holding the digit string or the word list whole:
//   input: a DigitSource. TextSource: the box's UTF-16 text (lines end at CR LF);
//          ByteSource: a file's bytes as the caller reads them, through FileDigitStream
//          (TextDecoder, then every line end made CR LF), or raw bytes as hex digits;
//          ReadmemSource: a $readmemh/$readmemb file's words, padded to the width
//   -> DelimiterStripper (delimiters.h): blanks, TAB, ',', ';', '{', '}', "0x"/"0X", CR LF
//      removed. 64 characters at a time where block_scan.h's fast path covers them (SSE2,
//      or plain C++ over 64-bit words), character by character elsewhere; that path is the
//      definition, and a block is handed between the two with at most a '0' held back.
//   -> pass 1: count the digits and check them (Tally; IsRadixDigit); a stray is located
//      only then, by a rescan with places (DigitSource::find)
//   -> ComputeLayout -> WordLayout (data width, digits per word, depth)
//   -> pass 2: the same stripping again -> a WordWriter (MifWriter, CoeWriter, MemWriter):
//      words cut and lines
//      formatted straight into a reused 256 KiB ChunkBuffer -> platform::ByteTarget, which
//      the caller made (a file replaced atomically on commit, or a descriptor)
// Convert drives both passes for the window and the command line and returns a
// ConvertResult; the caller decides what to show. Lengths and positions count UTF-16 code
// units, columns characters.

#include "coe_writer.h"
#include "convert.h"
#include "delimiters.h"
#include "digits.h"
#include "file_digits.h"
#include "mem_writer.h"
#include "mif_writer.h"
#include "readmem.h"
