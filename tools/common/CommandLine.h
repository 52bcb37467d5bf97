#pragma once

// The command-line grammar kalvo-render and kalvo-snapshot share, read by
// CLI11: "--name value" and "--name=value", flags without a value, options
// given as often as wanted, and "--" before file names that start with a
// dash. Each tool keeps its own help text and gives the words their meaning
// in the order written: a later --set overrides an earlier one, and
// kalvo-snapshot applies a preset where it stands among the settings.

#include <memory>
#include <string>
#include <vector>

namespace render
{

class CommandLine
{
public:
    /// One word of the command line: an option by its long name ("--set",
    /// or the short one when it has none) with its value, a flag with none,
    /// or, with `option` empty, a word that is not an option.
    struct Word
    {
        std::string option;
        std::string value;
    };

    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    /// A flag, named as "-q,--quiet".
    void addFlag(const std::string& names);
    /// An option that takes a value, named as "--set" or "-o,--output".
    void addOption(const std::string& names);

    /// Reads the arguments after the program name into words(). False with a
    /// one-line reason: an unknown option, a value missing, or given to a flag.
    bool parse(const std::vector<std::string>& args, std::string& error);

    /// Everything given, in the order written.
    const std::vector<Word>& words() const { return words_; }

private:
    struct Parser;
    std::unique_ptr<Parser> parser_;
    std::vector<Word> words_;
};

} // namespace render
