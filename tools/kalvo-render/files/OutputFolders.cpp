#include "OutputFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace render
{

OutputFolders::~OutputFolders()
{
    // rmdir only takes empty folders, so nothing the run did not make is lost.
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
        ::rmdir(it->c_str());
}

bool OutputFolders::makeFor(const std::string& filePath, std::string& error)
{
    const size_t lastSlash = filePath.rfind('/');
    if (lastSlash == std::string::npos || lastSlash == 0)
        return true; // in the current folder or at the root
    const std::string folder = filePath.substr(0, lastSlash);
    // Each prefix ending before a slash, then the folder itself: "a/b/c" is a, a/b, a/b/c.
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1))
    {
        const std::string step = folder.substr(0, end);
        struct stat st
        {
        };
        if (!step.empty() && ::stat(step.c_str(), &st) != 0)
        {
            if (errno != ENOENT || ::mkdir(step.c_str(), 0777) != 0)
            {
                error = "cannot create the folder '" + step + "': " + std::strerror(errno);
                return false;
            }
            made_.push_back(step);
        }
        else if (!step.empty() && !S_ISDIR(st.st_mode))
        {
            error = "cannot create '" + filePath + "': '" + step + "' is not a folder";
            return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

} // namespace render
