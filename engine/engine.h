#pragma once

// The conversion engine, free of any user interface and of I/O of its own.
//
// Data flows one way, in pieces, never holding the digit string or the word list whole:
//   input: a reader, one DigitSource class per input format (formats.h has their rows):
//          TextSource: the box's UTF-16 text (lines end at CR LF);
//          DigitsSource: a file's bytes as the caller reads them (a ByteReader), through
//          FileDigitStream (TextDecoder, then every line end made CR LF);
//          BinarySource: raw bytes, two hexadecimal digits each;
//          ReadmemSource: a $readmemh/$readmemb file's words, padded to the width
//   -> DelimiterStripper (delimiters.h): blanks, TAB, ',', ';', '{', '}', "0x"/"0X", CR LF
//      removed. 64 characters at a time where block_scan.h's fast path covers them (SSE2,
//      or plain C++ over 64-bit words), character by character elsewhere; that path is the
//      definition, and a block is handed between the two with at most a '0' held back.
//   -> pass 1: count the digits and check them (Tally; IsRadixDigit); a stray is located
//      only then, by a rescan with places (DigitSource::find)
//   -> ComputeLayout -> WordLayout (data width, digits per word, depth)
//   -> pass 2: the same stripping again -> a writer, one WordWriter class per output format
//      (MifWriter, CoeWriter, MemWriter; formats.h): words cut and lines formatted straight
//      into a reused ChunkBuffer -> platform::ByteTarget, which the caller made (a file
//      replaced atomically on commit, or a descriptor)
// Convert drives both passes for the window and the command line; a format whose header
// states no depth is written during the first pass where the target allows. It returns a
// ConvertResult: an outcome, and what was found as Diagnostic data (diagnostic.h), worded
// by the reader that found it or left to the caller; the caller decides what to show.
// Lengths and positions count UTF-16 code units, columns characters.

#include "binary_source.h"
#include "coe_writer.h"
#include "convert.h"
#include "delimiters.h"
#include "diagnostic.h"
#include "digits.h"
#include "digits_source.h"
#include "file_digits.h"
#include "formats.h"
#include "mem_writer.h"
#include "mif_writer.h"
#include "readmem.h"
#include "source.h"
#include "text_source.h"
