// The results file: one row per run of talvik, after a header line when the file is empty.
// Runs side by side (GNU parallel, a job array, several machines on NFS) share one file: each
// holds an fcntl lock while it looks at the size and appends, and writes header and row with
// one write(2), so the file gets one header and whole rows. The front-end looks at a file
// before it lets runs append to it, and empties it under the same lock.
#pragma once

#include <string>

namespace formats {

// The header line, and its first word, by which a results file is known.
inline constexpr const char* kResultsHeader = "; Data_set\tV2\tV1\tV0\n";
inline constexpr const char* kResultsHeaderWord = "; Data_set";

// Appends "<directory> V2 V1 V0", the header first when the file is empty. False when the
// file cannot be opened, locked or written; a failed append is cut off again, so the file
// never ends in a torn row.
bool append_results_row(const std::string& path, const std::string& data_set_directory, double v2,
                        double v1, double v0);

enum class ResultsFileKind {
    fresh,        // missing, or empty: nothing to lose
    results,      // begins with the header word and holds `rows` rows
    balls_file,   // the discretized-balls file itself
    slice,        // a "*.pbm" name: a slice bitmap, or a name that a data set would load
    foreign,      // not empty and not beginning with the header word
    cannot_open,  // a directory, or a file that cannot be read
};

struct ResultsFileCheck {
    ResultsFileKind kind = ResultsFileKind::fresh;
    int rows = 0;
};

// What `path` names, given the discretized-balls file of the front-end (may be empty).
ResultsFileCheck inspect_results_file(const std::string& path, const std::string& balls_path);

// What preparing the results file came to.
enum class ResultsFilePreparation {
    ready,         // the file exists, can be locked, and is as asked
    rows_changed,  // another run appended meanwhile: nothing was emptied, look again
    cannot_open,   // a folder, a missing folder, no permission
    cannot_lock,   // the file system has no locks (ENOLCK: NFS without its lock service)
};

// Creates the file when it is missing, leaves its contents alone, and checks that it can be
// locked, as every append locks it. talvik calls it before it computes, so that a file system
// without locks is reported at once.
ResultsFilePreparation create_results_file(const std::string& path);

// Empties the file that the user saw holding `seen_rows` rows (0: missing or empty), creating
// it when it is missing. Under the lock of the appending runs the rows are counted again: the
// file is emptied only when it holds as many rows as were seen, and rows_changed, with nothing
// changed, tells that a run appended meanwhile.
ResultsFilePreparation empty_results_file(const std::string& path, int seen_rows);

}  // namespace formats
