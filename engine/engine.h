#pragma once

// The conversion engine, free of any user interface.
//
// Data flows one way: input text (UTF-16, as the input box holds it)
//   -> StripDelimiters  -> digit string
//   -> ComputeLayout    -> WordLayout (data width, digits per word, depth)
//   -> SplitWords       -> WordList (views into the digit string)
//   -> WriteMif/WriteMifFile -> CP936 bytes of the MIF file, replaced atomically.
// ConvertToMif drives the same chain in streaming form (stream.h: DelimiterStripper, then
// MifWriter), two passes over the text and a bounded buffer, and returns a ConvertResult;
// the caller decides what to show. FileDigitStream adds decoding and line ends in front
// for files read in pieces. Lengths everywhere count UTF-16 code units.

#include "convert.h"
#include "extract.h"
#include "mif_writer.h"
#include "stream.h"
