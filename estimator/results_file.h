// The results file: one row per run, after a header line when the file is empty. Runs side by
// side (GNU parallel, a job array, several machines on NFS) share one file: each holds an
// fcntl lock while it looks at the size and appends, and writes header and row with one
// write(2), so the file gets one header and whole rows.
#pragma once

#include <string>

#include "steiner_fit.h"

namespace talvik {

// Appends "<directory> V2 V1 V0", the header first when the file is empty. False when the
// file cannot be opened, locked or written; a failed append is cut off again, so the file
// never ends in a torn row.
bool append_results_row(const std::string& path, const std::string& data_set_directory,
                        const IntrinsicVolumes& volumes);

}  // namespace talvik
