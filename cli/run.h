#pragma once

#include "options.h"

namespace tarnwick::cli {

/// Converts as `options` ask and returns the exit status; reports on standard error.
///   pass 1: input -> FileDigitStream -> digit count and the digit check (a pipe or device
///           is spooled to an unnamed temporary file on the way, so it can be read again;
///           it stops at the first character that is not a digit)
///   pass 2: input again -> FileDigitStream -> MifWriter -> the output
/// With --depth and a file output the header is known at once: one pass, straight into
/// the temporary file, which is dropped on any refusal.
int Run(const Options& options);

} // namespace tarnwick::cli
