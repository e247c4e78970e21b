#pragma once

// The conversion engine, free of any user interface.
//
// Data flows one way: input text (UTF-16, as the input box holds it)
//   -> StripDelimiters  -> digit string
//   -> ComputeLayout    -> WordLayout (data width, digits per word, depth)
//   -> SplitWords       -> WordList (views into the digit string)
//   -> WriteMif/WriteMifFile -> CP936 bytes of the MIF file, replaced atomically.
// ConvertToMif drives the whole chain and returns a ConvertResult; the caller decides what
// to show. Lengths everywhere count UTF-16 code units.

#include "convert.h"
#include "extract.h"
#include "mif_writer.h"
