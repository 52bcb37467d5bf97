#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>

namespace render
{

struct CommandLine::Parser
{
    CLI::App app;
    // CLI11 keeps each option's values apart; the words' order comes back
    // from its parse order, one entry per value or flag.
    std::vector<std::unique_ptr<std::vector<std::string>>> values;
    std::vector<std::string> others;
    std::map<const CLI::Option*, std::string> names;
};

CommandLine::CommandLine() : parser_(std::make_unique<Parser>())
{
    CLI::App& app = parser_->app;
    app.set_help_flag(); // each tool writes its own
    app.allow_extras(false);
    app.add_option("words", parser_->others)->expected(0, -1);
}

CommandLine::~CommandLine() = default;

void CommandLine::addFlag(const std::string& names)
{
    CLI::Option* o = parser_->app.add_flag(names)->disable_flag_override()->multi_option_policy(
        CLI::MultiOptionPolicy::TakeAll);
    parser_->names[o] = o->get_name();
}

void CommandLine::addOption(const std::string& names)
{
    parser_->values.push_back(std::make_unique<std::vector<std::string>>());
    // One value each time, never the words after it: "--set A=1 take.wav"
    // leaves take.wav a file.
    CLI::Option* o = parser_->app.add_option(names, *parser_->values.back())
                         ->expected(1)
                         ->allow_extra_args(false)
                         ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    parser_->names[o] = o->get_name();
}

bool CommandLine::parse(const std::vector<std::string>& args, std::string& error)
{
    CLI::App& app = parser_->app;
    words_.clear();
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try
    {
        app.parse(reversed);
    }
    catch (const CLI::ExtrasError&)
    {
        // The first word CLI11 could not place; it names only the options.
        for (const std::string& a : args)
            if (a.size() > 1 && a[0] == '-' && a != "--")
            {
                const std::string name = a.substr(0, a.find('='));
                bool known = false;
                for (const auto& n : parser_->names)
                    known = known || n.first->check_name(name);
                if (!known)
                {
                    error = "unknown option '" + name + "' (see --help)";
                    return false;
                }
            }
        error = "unexpected words on the command line (see --help)";
        return false;
    }
    catch (const CLI::ArgumentMismatch& e)
    {
        // A value missing ("--bits: 1 required TEXT missing") or one given
        // to a flag ("quiet was given a disallowed flag override"): the
        // message starts with the option's name.
        std::string first = e.what();
        first = first.substr(0, first.find_first_of(": "));
        first.erase(0, first.find_first_not_of('-'));
        for (const auto& n : parser_->names)
        {
            std::vector<std::string> names = n.first->get_lnames();
            for (const std::string& s : n.first->get_snames())
                names.push_back(s);
            if (std::find(names.begin(), names.end(), first) != names.end())
            {
                error = n.first->get_expected_min() == 0 ? n.second + " takes no value"
                                                         : n.second + " needs a value";
                return false;
            }
        }
        error = e.what();
        return false;
    }
    catch (const CLI::ParseError& e)
    {
        error = e.what();
        return false;
    }
    std::map<const CLI::Option*, size_t> used;
    const CLI::Option* others = app.get_option("words");
    for (const CLI::Option* o : app.parse_order())
    {
        const size_t k = used[o]++;
        if (o == others)
            words_.push_back({"", k < parser_->others.size() ? parser_->others[k] : std::string()});
        else if (o->get_expected_min() == 0)
            words_.push_back({parser_->names[o], ""});
        else
            words_.push_back({parser_->names[o], k < o->results().size() ? o->results()[k] : std::string()});
    }
    return true;
}

} // namespace render
