#pragma once

#include "options.h"

namespace tarnwick::cli {

/// Converts as `options` ask and returns the exit status; reports on standard error.
///   platform::InputStream (a pipe or device is kept in an unnamed temporary file on the
///   first reading, so it can be read again) -> the reader of --from, made by its row in
///   the formats' table -> Convert (both passes; a pipe stops at the first character that
///   is not a digit) -> the output: AtomicFileWriter, or DescriptorTarget for a descriptor
///   the shell opened -> the result's diagnostics and outcome, printed by one reporter
/// Into a file, where the header is known at once (--depth, or a format that states no
/// depth), one pass, straight into the temporary file, which is dropped on any refusal.
int Run(const Options& options);

} // namespace tarnwick::cli
