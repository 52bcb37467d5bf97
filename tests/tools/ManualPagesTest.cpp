// The tools' manual pages: lint-clean for groff, and every option --help
// shows is documented.

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>

namespace
{

// What a command prints on standard output and standard error.
std::string output(const std::string& command)
{
    std::string text;
    if (std::FILE* p = ::popen((command + " 2>&1").c_str(), "r"))
    {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            text.append(buffer, n);
        ::pclose(p);
    }
    return text;
}

// The options an entry of --help starts with: "  --out-dir DIR ..." gives --out-dir.
std::set<std::string> helpOptions(const std::string& help)
{
    std::set<std::string> options;
    const std::regex entry(R"(\n {2}(-[a-z]|--[a-z0-9-]+)(, (--[a-z0-9-]+))?)");
    for (std::sregex_iterator it(help.begin(), help.end(), entry), end; it != end; ++it)
    {
        options.insert((*it)[1]);
        if ((*it)[3].matched)
            options.insert((*it)[3]);
    }
    return options;
}

std::string roffEscaped(std::string option)
{
    for (size_t at = option.find('-'); at != std::string::npos; at = option.find('-', at + 2))
        option.replace(at, 1, "\\-");
    return option;
}

} // namespace

TEST(ManualPages, AreLintCleanAndDocumentEveryOptionOfHelp)
{
    if (output("command -v groff").empty())
        GTEST_SKIP() << "groff is not installed";
    const std::vector<std::pair<std::string, std::string>> tools = {
        {KALVO_RENDER_PATH, KALVO_SOURCE_DIR "/tools/kalvo-render/kalvo-render.1"},
#ifdef KALVO_SNAPSHOT_PATH
        {KALVO_SNAPSHOT_PATH, KALVO_SOURCE_DIR "/tools/kalvo-snapshot/kalvo-snapshot.1"},
#endif
    };
    for (const auto& tool : tools)
    {
        const std::string page = testfiles::readText(tool.second);
        ASSERT_FALSE(page.empty()) << tool.second;
        EXPECT_EQ(output("groff -ww -z -man '" + tool.second + "'"), "") << tool.second;
        for (const char* section :
             {".SH NAME", ".SH SYNOPSIS", ".SH OPTIONS", ".SH EXIT STATUS", ".SH EXAMPLES"})
            EXPECT_NE(page.find(section), std::string::npos) << tool.second << " lacks " << section;
        const std::set<std::string> options = helpOptions(output("'" + tool.first + "' --help"));
        EXPECT_GE(options.size(), 4u) << tool.first;
        for (const std::string& option : options)
            EXPECT_NE(page.find(roffEscaped(option)), std::string::npos)
                << tool.second << " lacks " << option;
    }
}
