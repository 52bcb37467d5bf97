// Plays a Linux host around the built Kalvo.so on a real X server: loads the library with
// dlopen, creates effects through VSTPluginMain with a recording callback, opens their editors in
// parent windows of its own and pumps effEditIdle; a second connection acts as the user's hands
// and eyes (XTest pointer events, popup windows, pixels, the server's resource counts).
#pragma once

#include "VstInterface.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kalvo::editortest
{

constexpr long kPanelWidth = 841;
constexpr long kPanelHeight = 453;

/// One request of the effect to the host that a host records for automation.
struct HostEvent
{
    VstInt32 opcode; ///< audioMasterAutomate, audioMasterBeginEdit or audioMasterEndEdit
    VstInt32 index;
    float value; ///< the automated value; 0 for the edit brackets

    bool operator==(const HostEvent& other) const
    {
        return opcode == other.opcode && index == other.index && value == other.value;
    }
};
std::string describe(const std::vector<HostEvent>& events);
std::string describe(const std::map<std::string, long>& resources);

HostEvent automate(VstInt32 index, float value);
HostEvent beginEdit(VstInt32 index);
HostEvent endEdit(VstInt32 index);

/// One effect of the plug-in library as a host holds it, with its own record of host requests.
class Instance
{
public:
    Instance();
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return effect != nullptr; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    float parameter(VstInt32 index) const;
    /// effEditGetRect: width and height of the rectangle it answers, or -1 and -1 without one.
    std::pair<long, long> editorSize();
    /// effEditOpen with the parent window id in ptr, as Linux hosts pass it.
    bool openEditor(void* parentWindow);
    void closeEditor();
    /// effClose, whatever the editor's state; the instance is gone afterwards.
    void closeEffect();
    void idle() { dispatch(effEditIdle); }
    /// Sends effEditIdle every few milliseconds until `done` or about `ms` milliseconds passed.
    bool idleUntil(const std::function<bool()>& done, int ms = 3000);
    /// Idles until the edit bracket of `index` has closed.
    bool idleUntilEditEnds(VstInt32 index, int ms = 3000);

    /// Automation and edit brackets in the order they arrived.
    std::vector<HostEvent> events;
    int hostIdleCalls = 0;
    /// Called on each audioMasterIdle with the running count: the user's next step during a
    /// tracking loop, which the plug-in runs inside one of our effEditIdle calls.
    std::function<void(int)> onHostIdle;

    AEffect* effect = nullptr;

private:
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt);
    bool editorOpen = false;
};

/// The user at the screen, on a connection of their own, so that they can act while the
/// plug-in's thread sits in a modal loop. Coordinates are the screen's.
class User
{
public:
    User();
    ~User();
    User(const User&) = delete;
    User& operator=(const User&) = delete;

    void moveTo(long x, long y);
    void press(unsigned button = 1);
    void release(unsigned button = 1);
    void click(long x, long y, unsigned button = 1);
    void escape();
    /// Mapped override-redirect top-level windows (menus, our own parent windows), as ids.
    std::vector<unsigned long> overrideRedirectWindows();
    /// Screen rectangle {left, top, right, bottom} of a top-level window.
    std::vector<long> geometry(unsigned long window);
    /// Waits up to about three seconds for an override-redirect window not in `before`; 0 if none.
    unsigned long waitForNewPopup(const std::vector<unsigned long>& before);
    bool pointerFree();
    std::vector<unsigned long> childrenOf(unsigned long window);

    /// Clients connected to the server now (X-Resource extension); -1 without the extension.
    int serverClients();
    /// Resources held by the client that created resource `id`, counted by type ("WINDOW",
    /// "PIXMAP", "GC", "CURSOR", "PICTURE"...); empty without the extension or owner.
    std::map<std::string, long> resourcesOfOwner(unsigned long id);

private:
    struct Impl;
    Impl* impl;
};

/// Releases the pointer button and presses Escape on its own connection when a test is still
/// running after `seconds`, so that a broken gesture fails instead of hanging the suite.
class Watchdog
{
public:
    explicit Watchdog(int seconds = 8);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    bool fired() const;

private:
    struct Impl;
    Impl* impl;
};

/// Pixels as 0x00RRGGBB, row by row.
struct Image
{
    long width = 0;
    long height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(long x, long y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Image loadPng(const std::string& path);
/// The panel as the headless snapshot command renders it for these INDEX=VALUE settings.
Image headlessPanel(const std::vector<std::string>& settings);
/// Text of a float that reads back as the same float.
std::string exactly(float value);

struct Difference
{
    long pixels = 0;    ///< pixels with any channel differing by more than the tolerance
    int maxChannel = 0; ///< the largest difference of one channel, in levels of 255
    long firstX = -1, firstY = -1;
};
/// Compares `shown` (read from the window, origin at `left`, `top` of the panel) with the same
/// area of `expected`, leaving out the rectangles of `excluded` ({left, top, right, bottom}).
Difference compare(const Image& expected, const std::vector<std::uint32_t>& shown, long left, long top,
                   long width, long height, int tolerance,
                   const std::vector<std::vector<long>>& excluded = {});

/// Resident set size of this process in bytes.
long residentBytes();
long openDescriptors();

} // namespace kalvo::editortest
