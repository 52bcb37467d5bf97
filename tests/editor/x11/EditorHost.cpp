#include "EditorHost.h"

#include "tests/support/PluginLibrary.h"

namespace kalvo::editortest
{

namespace
{
hosttest::PluginMain pluginMain()
{
    // Loaded once for the whole process and kept, as hosts keep a scanned plug-in loaded.
    static const PluginLibrary* library = new PluginLibrary();
    return library->entry();
}
} // namespace

Instance::Instance() : EditorInstance(pluginMain()) {}

} // namespace kalvo::editortest
