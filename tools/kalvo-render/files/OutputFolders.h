#pragma once

// Missing folders on the way to the output files, made for the run and taken
// away again when the run fails, so that "kalvo-render --demo out/demo.wav"
// works from any folder and a failed run still leaves nothing behind.

#include <string>
#include <vector>

namespace render
{

class OutputFolders
{
public:
    OutputFolders() = default;
    OutputFolders(const OutputFolders&) = delete;
    OutputFolders& operator=(const OutputFolders&) = delete;
    /// Removes the folders it made, deepest first, unless keep() was called.
    ~OutputFolders();

    /// Makes every missing folder above `filePath`. False with a one-line reason
    /// when one cannot be made (a file is in the way, no permission).
    bool makeFor(const std::string& filePath, std::string& error);
    /// The run succeeded: the folders stay.
    void keep() { made_.clear(); }

private:
    std::vector<std::string> made_; ///< in the order made, outermost first
};

} // namespace render
