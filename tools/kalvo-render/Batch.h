#pragma once

// A day's recordings in one run: "kalvo-render IN... --out-dir DIR" decodes
// every file given, and every .wav and .flac file of every folder given (in
// name order), into DIR, several files at once. A file that fails is
// reported and skipped; the others complete. Everything that can be known
// before the first decode (two inputs that would write the same output, an
// output that would replace an input, a name field a take lacks, outputs
// that exist) is refused before anything starts.

#include "tools/kalvo-render/cli/RenderOptions.h"
#include "tools/kalvo-render/files/TakeMetadata.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace render
{

/// One recording of a batch and where its decode goes.
struct BatchItem
{
    std::string input;                ///< as the user gave it, or a folder's path and the file's name
    std::string output;               ///< the output's name (the mono files derive theirs from it)
    std::vector<std::string> outputs; ///< the files it writes (one, or one per channel with --mono)
    bool keep = false;                ///< its output exists and --skip-existing leaves it
};

/// The recordings the inputs name, files as given and folders' .wav and .flac
/// files in name order, with their outputs in `outDir` named by
/// options.namePattern (batchOutputName). A folder's files that an earlier
/// decode wrote (our line ends their coding history, or they are named as a
/// decode of another of its files is named) are left out and listed in
/// `earlierOutputs`. False with the reason when an input does not exist or a
/// folder cannot be read, nothing is left to decode, a take lacks a field
/// of the name, two inputs would write the same output, an output is one of
/// the inputs, or outputs exist without --overwrite or --skip-existing (all
/// of them named).
bool planBatch(const RenderOptions& options, std::vector<BatchItem>& items, std::string& error,
               std::vector<std::string>* earlierOutputs = nullptr);

/// The name of a recording's output: `pattern` with its fields filled from
/// the take ({name} the input's name less its extension, {layout}, {folder}
/// the name of the input's folder, {scene} {take} {tape} {project} from its
/// iXML, {date} its bext origination date, {timecode} its bext time of day
/// at its iXML timecode rate); "{name}.{layout}" when empty, ".wav" added
/// when it does not end so. False with the file and the field when the take
/// lacks one.
bool batchOutputName(const std::string& inputPath, const TakeMetadata& take, const std::string& pattern,
                     OutputLayout layout, std::string& name, std::string& error);

/// The same for {name} and {layout} alone.
std::string batchOutputName(const std::string& inputPath, const std::string& pattern, OutputLayout layout);

/// Decodes the items, `jobs` at once (options.jobs, or one per core), with
/// one progress line on standard error and, unless quiet, a table of every
/// file (input, length, result) on `out` at the end. Failures are also
/// listed on standard error. Answers the exit status: 0 when every file was
/// decoded, 1 when any failed, 130 when `stop` ended the run.
int runBatch(const RenderOptions& options, const std::vector<BatchItem>& items,
             const volatile std::sig_atomic_t* stop, std::FILE* out = stdout);

} // namespace render
