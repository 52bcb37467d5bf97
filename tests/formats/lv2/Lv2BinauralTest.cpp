// The bundle's headphone plug-in through lilv, as hosts load it: its sound against the 5.1
// plug-in's decode through the renderer kalvo-render uses, its controls in a saved state, and
// two instances asking for one tracker port.
#include "dsp/BinauralRenderer.h"
#include "effect/HeadResponses.h"
#include "effect/KalvoParameters.h"
#include "formats/lv2/Lv2BinauralPorts.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace kalvo;
namespace ports = kalvo::lv2::binaural;

struct UridMap
{
    std::vector<std::string> uris;
    LV2_URID_Map map{this,
                     [](LV2_URID_Map_Handle h, const char* uri) -> LV2_URID
                     {
                         auto* self = static_cast<UridMap*>(h);
                         for (size_t i = 0; i < self->uris.size(); ++i)
                             if (self->uris[i] == uri)
                                 return static_cast<LV2_URID>(i + 1);
                         self->uris.emplace_back(uri);
                         return static_cast<LV2_URID>(self->uris.size());
                     }};
    LV2_Feature feature{LV2_URID__map, &map};
};

struct Bundle
{
    LilvWorld* world = lilv_world_new();
    UridMap urids;
    Bundle()
    {
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, KALVO_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
    }
    ~Bundle() { lilv_world_free(world); }
    const LilvPlugin* plugin(const char* uri)
    {
        LilvNode* n = lilv_new_uri(world, uri);
        const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), n);
        lilv_node_free(n);
        return p;
    }
};

Bundle& bundle()
{
    static Bundle shared;
    return shared;
}

/// An instance with a buffer behind every control port, each at its default.
struct Instance
{
    const LilvPlugin* plugin;
    LilvInstance* instance;
    std::vector<float> ports;

    Instance(const char* uri, double rate)
        : plugin(bundle().plugin(uri)), ports(plugin ? lilv_plugin_get_num_ports(plugin) : 0)
    {
        const LV2_Feature* features[] = {&bundle().urids.feature, nullptr};
        instance = plugin ? lilv_plugin_instantiate(plugin, rate, features) : nullptr;
        if (!instance)
            return;
        std::vector<float> defaults(ports.size());
        lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
        for (uint32_t p = 0; p < ports.size(); ++p)
        {
            ports[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
            lilv_instance_connect_port(instance, p, &ports[p]);
        }
    }
    ~Instance()
    {
        if (instance)
            lilv_instance_free(instance);
    }
    float& symbol(const char* name)
    {
        LilvNode* n = lilv_new_string(bundle().world, name);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, n);
        lilv_node_free(n);
        return ports[lilv_port_get_index(plugin, port)];
    }
};

int freePort()
{
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(s);
    return ntohs(a.sin_port);
}

} // namespace

TEST(Lv2Binaural, RendersTheDecodeAsKalvoRenderDoesWithoutAllocating)
{
    const double rate = 48000.0;
    Instance phones(ports::kPluginUri, rate), surround("urn:velmora:kalvo", rate);
    ASSERT_TRUE(phones.instance && surround.instance);
    for (Instance* i : {&phones, &surround})
    {
        i->symbol(parameterSpec(kRearDelay).symbol) = 12.0f;
        i->symbol(parameterSpec(kLSRSOffset).symbol) = 130.0f;
    }
    phones.symbol("head_yaw") = 40.0f;
    phones.symbol("head_roll") = -10.0f;

    const int frames = 6000;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> in[3], decoded[6], ears[2], want[2];
    for (auto& c : in)
        for (int t = 0; t < frames; ++t)
            c.push_back(uniform(random));
    for (auto& c : decoded)
        c.resize(frames);
    for (int e = 0; e < 2; ++e)
    {
        ears[e].resize(frames);
        want[e].resize(frames);
    }
    for (int c = 0; c < 3; ++c)
    {
        lilv_instance_connect_port(phones.instance, static_cast<uint32_t>(c), in[c].data());
        lilv_instance_connect_port(surround.instance, static_cast<uint32_t>(c), in[c].data());
    }
    for (int c = 0; c < 6; ++c)
        lilv_instance_connect_port(surround.instance, static_cast<uint32_t>(3 + c), decoded[c].data());
    lilv_instance_activate(surround.instance);
    lilv_instance_run(surround.instance, frames);

    // kalvo-render's binaural layout: the renderer on the decode, the head set before it starts.
    HrirGrid grid;
    std::string error;
    ASSERT_TRUE(loadHrirGrid(kDefaultHrtfPath, rate, grid, error)) << error;
    BinauralRenderer renderer;
    renderer.setOrientation({40.0, 0.0, -10.0});
    renderer.setResponses(grid);
    const float* feed[6];
    for (int c = 0; c < 6; ++c)
        feed[c] = decoded[c].data();
    renderer.process(feed, want[0].data(), want[1].data(), frames);

    lilv_instance_activate(phones.instance);
    AllocationCounter counter;
    for (int at = 0, size = 1; at < frames; at += size, size = size * 2 + 3)
    {
        size = std::min(size, frames - at);
        for (int c = 0; c < 3; ++c)
            lilv_instance_connect_port(phones.instance, static_cast<uint32_t>(c), in[c].data() + at);
        for (int e = 0; e < 2; ++e)
            lilv_instance_connect_port(phones.instance, static_cast<uint32_t>(ports::kFirstEarOutput + e),
                                       ears[e].data() + at);
        lilv_instance_run(phones.instance, static_cast<uint32_t>(size));
    }
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(counter.waits(), 0); // no lock, no system call (where the counter sees them)
    for (int e = 0; e < 2; ++e)
        for (int t = 0; t < frames; ++t)
            ASSERT_EQ(ears[e][t], want[e][t]) << "ear " << e << " frame " << t;
}

TEST(Lv2Binaural, ASavedStateKeepsTheHeadAndTheTrackerPort)
{
    Instance saved(ports::kPluginUri, 48000.0), restored(ports::kPluginUri, 48000.0);
    saved.symbol("head_yaw") = -75.5f;
    saved.symbol("head_pitch") = 12.0f;
    saved.symbol("tracker_port") = 9123.0f;
    saved.symbol("flip_roll") = 1.0f;
    const auto get = [](const char* symbol, void* data, uint32_t* size, uint32_t* type) -> const void*
    {
        static float value;
        value = static_cast<Instance*>(data)->symbol(symbol);
        *size = sizeof value;
        *type = bundle().urids.map.map(bundle().urids.map.handle, "http://lv2plug.in/ns/ext/atom#Float");
        return &value;
    };
    LilvState* state =
        lilv_state_new_from_instance(saved.plugin, saved.instance, &bundle().urids.map, nullptr, nullptr,
                                     nullptr, nullptr, get, &saved, 0, nullptr);
    ASSERT_NE(state, nullptr);
    lilv_state_restore(
        state, restored.instance,
        [](const char* symbol, void* data, const void* value, uint32_t, uint32_t)
        { static_cast<Instance*>(data)->symbol(symbol) = *static_cast<const float*>(value); },
        &restored, 0, nullptr);
    lilv_state_free(state);
    for (const char* symbol :
         {"head_yaw", "head_pitch", "head_roll", "tracker_on", "tracker_port", "flip_roll"})
        EXPECT_EQ(restored.symbol(symbol), saved.symbol(symbol)) << symbol;
}

TEST(Lv2Binaural, TheSecondInstanceOnATrackerPortSaysItIsInUse)
{
    const int port = freePort();
    Instance first(ports::kPluginUri, 48000.0), second(ports::kPluginUri, 48000.0);
    for (Instance* i : {&first, &second})
    {
        i->symbol("tracker_port") = static_cast<float>(port);
        i->symbol("tracker_on") = 1.0f;
        lilv_instance_activate(i->instance);
    }
    const auto status = [](Instance& i) { return static_cast<TrackerStatus>(i.symbol("tracker_status")); };
    lilv_instance_run(first.instance, 0);
    for (int i = 0; i < 200 && status(first) != TrackerStatus::Listening; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lilv_instance_run(first.instance, 0);
    }
    EXPECT_EQ(status(first), TrackerStatus::Listening);
    lilv_instance_run(second.instance, 0);
    for (int i = 0; i < 200 && status(second) != TrackerStatus::PortInUse; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lilv_instance_run(second.instance, 0);
    }
    EXPECT_EQ(status(second), TrackerStatus::PortInUse);
    lilv_instance_run(first.instance, 0);
    EXPECT_EQ(status(first), TrackerStatus::Listening);
}
