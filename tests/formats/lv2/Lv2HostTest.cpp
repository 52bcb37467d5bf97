// The built bundle build/kalvo.lv2 as an LV2 host sees it, through lilv: what it says of
// itself, its presets, and its sound against Kalvo.so at the same knob positions.
#include "effect/KalvoParameters.h"
#include "formats/lv2/Lv2Ports.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/PluginLibrary.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{

using namespace kalvo::lv2;
using kalvo::kNumMeters;

constexpr const char* kLv2 = "http://lv2plug.in/ns/lv2core#";
constexpr const char* kPresets = "http://lv2plug.in/ns/ext/presets#Preset";
constexpr const char* kGroups = "http://lv2plug.in/ns/ext/port-groups#";

/// A URID map for lilv's preset states.
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

/// One lilv world with the built bundle loaded, shared by every test.
struct Bundle
{
    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;
    UridMap urids;

    Bundle()
    {
        // LV2's core vocabulary, so that lilv knows the plug-in classes as hosts do.
        // Units and port groups too, so that the bundle's units and groups can be checked.
        for (const char* spec :
             {"/usr/lib/lv2/core.lv2/", "/usr/lib/lv2/units.lv2/", "/usr/lib/lv2/port-groups.lv2/"})
        {
            LilvNode* node = lilv_new_file_uri(world, nullptr, spec);
            lilv_world_load_bundle(world, node);
            lilv_node_free(node);
        }
        lilv_world_load_specifications(world);
        lilv_world_load_plugin_classes(world);
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, KALVO_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, kPluginUri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
    ~Bundle() { lilv_world_free(world); }

    LilvNode* node(const std::string& uri) const { return lilv_new_uri(world, uri.c_str()); }
    bool portIs(int port, const std::string& classUri) const
    {
        LilvNode* n = node(classUri);
        const bool is = lilv_port_is_a(plugin, lilv_plugin_get_port_by_index(plugin, port), n);
        lilv_node_free(n);
        return is;
    }

    /// The factory presets: label and control values by symbol.
    std::vector<std::pair<std::string, std::map<std::string, float>>> presets()
    {
        std::vector<std::pair<std::string, std::map<std::string, float>>> out;
        LilvNode* type = node(kPresets);
        LilvNodes* related = lilv_plugin_get_related(plugin, type);
        LILV_FOREACH(nodes, i, related)
        {
            const LilvNode* preset = lilv_nodes_get(related, i);
            lilv_world_load_resource(world, preset);
            LilvState* state = lilv_state_new_from_world(world, &urids.map, preset);
            if (!state)
                continue;
            std::map<std::string, float> values;
            lilv_state_emit_port_values(
                state,
                [](const char* symbol, void* user, const void* value, uint32_t size, uint32_t)
                {
                    if (size == sizeof(float))
                        (*static_cast<std::map<std::string, float>*>(user))[symbol] =
                            *static_cast<const float*>(value);
                },
                &values);
            out.emplace_back(lilv_state_get_label(state), values);
            lilv_state_free(state);
        }
        lilv_nodes_free(related);
        lilv_node_free(type);
        return out;
    }
};

Bundle& bundle()
{
    static Bundle shared;
    return shared;
}

/// An instance of the bundle's plug-in with its own port buffers.
struct Lv2Effect
{
    LilvInstance* instance = nullptr;
    float controls[kNumParameters] = {};
    float meters[kNumMeters] = {};

    explicit Lv2Effect(double rate)
    {
        const LV2_Feature* features[] = {&bundle().urids.feature, nullptr};
        instance = lilv_plugin_instantiate(bundle().plugin, rate, features);
        for (int i = 0; i < kNumParameters; ++i)
        {
            controls[i] = static_cast<float>(kalvo::knobToUnit(i, kalvo::parameterSpec(i).defaultKnob));
            lilv_instance_connect_port(instance, static_cast<uint32_t>(kFirstControl + i), &controls[i]);
        }
        for (int m = 0; m < kNumMeters; ++m)
            lilv_instance_connect_port(instance, static_cast<uint32_t>(kFirstMeterPort + m), &meters[m]);
    }
    ~Lv2Effect()
    {
        if (instance)
            lilv_instance_free(instance);
    }
    void connect(float* const in[3], float* const out[6])
    {
        for (int c = 0; c < kNumAudioInputs; ++c)
            lilv_instance_connect_port(instance, static_cast<uint32_t>(kFirstAudioInput + c), in[c]);
        for (int c = 0; c < kNumAudioOutputs; ++c)
            lilv_instance_connect_port(instance, static_cast<uint32_t>(kFirstAudioOutput + c), out[c]);
    }
};

/// Kalvo.so at the same rate, fed the knob positions the LV2 values stand for.
struct VstEffect
{
    TestHost host;
    PluginLibrary library;
    AEffect* effect = nullptr;
    explicit VstEffect(double rate)
    {
        host.sampleRate = static_cast<VstIntPtr>(rate);
        host.blockSize = 8192;
        effect = library.create(TestHost::callback);
        call(effect, effMainsChanged, 0, 0);
        call(effect, effMainsChanged, 0, 1);
    }
    ~VstEffect()
    {
        if (effect)
            call(effect, effClose);
    }
    /// Sends the knob positions that changed, as a host sends automation.
    void apply(const float controls[kNumParameters])
    {
        for (int i = 0; i < kNumParameters; ++i)
        {
            const float knob = static_cast<float>(kalvo::unitToKnob(i, controls[i]));
            if (knob != effect->getParameter(effect, i))
                effect->setParameter(effect, i, knob);
        }
    }
};

void fillNoise(std::vector<std::vector<float>>& channels, unsigned seed);

/// Noise on the three capsules and room for the six outputs, connected to an instance.
struct WiredEffect : Lv2Effect
{
    std::vector<std::vector<float>> in, out;
    WiredEffect(double rate, int frames, unsigned seed)
        : Lv2Effect(rate), in(3, std::vector<float>(static_cast<size_t>(frames))),
          out(6, std::vector<float>(static_cast<size_t>(frames)))
    {
        fillNoise(in, seed);
        float* inPtr[3] = {in[0].data(), in[1].data(), in[2].data()};
        float* outPtr[6];
        for (int c = 0; c < 6; ++c)
            outPtr[c] = out[c].data();
        if (instance)
            connect(inPtr, outPtr);
    }
    bool outputFinite() const
    {
        for (const auto& channel : out)
            for (float s : channel)
                if (!std::isfinite(s))
                    return false;
        return true;
    }
};

void fillNoise(std::vector<std::vector<float>>& channels, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    for (auto& channel : channels)
        for (float& s : channel)
            s = dist(rng);
}

/// Runs both builds over the same noise in blocks of `blocks` frames with the LV2 control
/// values `settings`, changed between blocks; true when every output sample is identical.
::testing::AssertionResult decodesAlike(double rate, const std::vector<int>& blocks,
                                        const std::vector<std::map<int, float>>& settings,
                                        bool inPlace = false)
{
    Lv2Effect lv2(rate);
    VstEffect vst(rate);
    if (!lv2.instance || !vst.effect)
        return ::testing::AssertionFailure() << "no instance";
    lilv_instance_activate(lv2.instance);
    unsigned seed = 1;
    for (size_t b = 0; b < blocks.size(); ++b)
    {
        const int n = blocks[b];
        for (const auto& [index, value] : settings[b % settings.size()])
            lv2.controls[index] = value;
        vst.apply(lv2.controls);
        // The first block's values are where the session starts: a VST 2.4 host sets them
        // and then switches the effect on.
        if (b == 0)
        {
            call(vst.effect, effMainsChanged, 0, 0);
            call(vst.effect, effMainsChanged, 0, 1);
        }

        std::vector<std::vector<float>> in(3, std::vector<float>(static_cast<size_t>(n) + 1));
        fillNoise(in, seed++);
        std::vector<std::vector<float>> vstOut(6, std::vector<float>(static_cast<size_t>(n) + 1, 9.0f));
        std::vector<std::vector<float>> lv2Out(6, std::vector<float>(static_cast<size_t>(n) + 1, 9.0f));
        float* vstIn[6] = {in[0].data(), in[1].data(), in[2].data(), nullptr, nullptr, nullptr};
        float* vstOutPtr[6];
        for (int c = 0; c < 6; ++c)
            vstOutPtr[c] = vstOut[c].data();
        vst.effect->processReplacing(vst.effect, vstIn, vstOutPtr, n);

        // In place: the first three outputs overwrite the capsules' own buffers.
        std::vector<std::vector<float>> inCopy = in;
        float* lv2In[3] = {inCopy[0].data(), inCopy[1].data(), inCopy[2].data()};
        float* lv2OutPtr[6];
        for (int c = 0; c < 6; ++c)
            lv2OutPtr[c] = inPlace && c < 3 ? inCopy[c].data() : lv2Out[c].data();
        lv2.connect(lv2In, lv2OutPtr);
        lilv_instance_run(lv2.instance, static_cast<uint32_t>(n));
        for (int c = 0; c < 6; ++c)
            for (int i = 0; i < n; ++i)
                if (std::memcmp(&lv2OutPtr[c][i], &vstOut[c][i], sizeof(float)) != 0)
                    return ::testing::AssertionFailure()
                           << "block " << b << " channel " << c << " frame " << i << ": " << lv2OutPtr[c][i]
                           << " against " << vstOut[c][i];
        if (lv2OutPtr[5][n] != 9.0f)
            return ::testing::AssertionFailure() << "wrote past the block";
        for (int m = 0; m < kNumMeters; ++m)
            if (lv2.meters[m] != kalvo::hostMeterValue(vst.effect->getParameter(vst.effect, kFirstMeter + m)))
                return ::testing::AssertionFailure() << "meter " << m;
    }
    lilv_instance_deactivate(lv2.instance);
    return ::testing::AssertionSuccess();
}

std::map<int, float> unitsOf(const std::map<std::string, float>& bySymbol)
{
    std::map<int, float> out;
    for (const auto& [symbol, value] : bySymbol)
        out[kalvo::findParameterByName(symbol.c_str())] = value;
    return out;
}

} // namespace

TEST(Lv2Bundle, DescribesItselfAsHostsReadIt)
{
    Bundle& b = bundle();
    ASSERT_NE(b.plugin, nullptr) << "no " << kPluginUri << " in " << KALVO_LV2_BUNDLE;
    LilvNode* name = lilv_plugin_get_name(b.plugin);
    EXPECT_STREQ(lilv_node_as_string(name), "Zentri Surround Tool");
    lilv_node_free(name);
    LilvNode* author = lilv_plugin_get_author_name(b.plugin);
    EXPECT_STREQ(author ? lilv_node_as_string(author) : "", "Velmora");
    lilv_node_free(author);
    EXPECT_STREQ(lilv_node_as_string(lilv_plugin_class_get_uri(lilv_plugin_get_class(b.plugin))),
                 "http://lv2plug.in/ns/lv2core#SpatialPlugin");
    LilvNodes* required = lilv_plugin_get_required_features(b.plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);

    ASSERT_EQ(lilv_plugin_get_num_ports(b.plugin), static_cast<uint32_t>(kNumPorts));
    const auto symbol = [&b](int port)
    {
        return std::string(lilv_node_as_string(
            lilv_port_get_symbol(b.plugin, lilv_plugin_get_port_by_index(b.plugin, port))));
    };
    const char* audio[] = {"front_mid", "side",    "rear_mid", "out_l", "out_r",
                           "out_c",     "out_lfe", "out_ls",   "out_rs"};
    const char* designations[] = {"left", "right", "center", "lowFrequencyEffects", "rearLeft", "rearRight"};
    for (int p = 0; p < 9; ++p)
    {
        EXPECT_EQ(symbol(p), audio[p]);
        EXPECT_TRUE(b.portIs(p, std::string(kLv2) + "AudioPort"));
        EXPECT_TRUE(b.portIs(p, std::string(kLv2) + (p < 3 ? "InputPort" : "OutputPort")));
    }
    for (int c = 0; c < 6; ++c)
    {
        LilvNode* designation = b.node(std::string(kGroups) + designations[c]);
        LilvNode* output = b.node(std::string(kLv2) + "OutputPort");
        const LilvPort* port = lilv_plugin_get_port_by_designation(b.plugin, output, designation);
        EXPECT_EQ(port ? static_cast<int>(lilv_port_get_index(b.plugin, port)) : -1, kFirstAudioOutput + c);
        LilvNode* groupPredicate = b.node(std::string(kGroups) + "group");
        LilvNodes* groups = port ? lilv_port_get_value(b.plugin, port, groupPredicate) : nullptr;
        EXPECT_EQ(groups ? lilv_nodes_size(groups) : 0u, 1u);
        lilv_nodes_free(groups);
        lilv_node_free(groupPredicate);
        lilv_node_free(output);
        lilv_node_free(designation);
    }

    std::vector<float> minimum(kNumPorts), maximum(kNumPorts), defaults(kNumPorts);
    lilv_plugin_get_port_ranges_float(b.plugin, minimum.data(), maximum.data(), defaults.data());
    for (int i = 0; i < kNumParameters; ++i)
    {
        const auto& spec = kalvo::parameterSpec(i);
        const int p = kFirstControl + i;
        EXPECT_EQ(symbol(p), spec.symbol);
        EXPECT_TRUE(b.portIs(p, std::string(kLv2) + "ControlPort"));
        EXPECT_EQ(minimum[p], static_cast<float>(spec.minimum)) << spec.symbol;
        EXPECT_EQ(maximum[p], static_cast<float>(spec.maximum)) << spec.symbol;
        // A fresh instance sits exactly where a fresh VST 2.4 instance does.
        EXPECT_EQ(static_cast<float>(kalvo::unitToKnob(i, defaults[p])), spec.defaultKnob) << spec.symbol;
    }
    for (int m = 0; m < kNumMeters; ++m)
    {
        EXPECT_EQ(symbol(kFirstMeterPort + m), kalvo::meterSpec(m).symbol);
        EXPECT_TRUE(b.portIs(kFirstMeterPort + m, std::string(kLv2) + "OutputPort"));
    }

    std::vector<std::string> labels;
    for (const auto& preset : b.presets())
    {
        labels.push_back(preset.first);
        EXPECT_EQ(preset.second.size(), static_cast<size_t>(kNumParameters)) << preset.first;
    }
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, (std::vector<std::string>{"4-Channel optimized", "5-Channel", "5-Channel Musical",
                                                "XY Stereo 60\xc2\xb0", "XY Stereo 90\xc2\xb0"}));
}

TEST(Lv2Bundle, DecodesLikeKalvoSoAtTheSameKnobPositions)
{
    // Every factory preset, one after another within one instance, in blocks that cross
    // the effect's buffer size, with a block of nothing between them.
    std::vector<std::map<int, float>> presets;
    for (const auto& preset : bundle().presets())
        presets.push_back(unitsOf(preset.second));
    ASSERT_EQ(presets.size(), 5u);
    EXPECT_TRUE(decodesAlike(48000.0, {1, 0, 517, 4096, 9000}, presets));

    // Odd settings: values between the steps, beyond the ranges (clamped), and silence.
    const std::vector<std::map<int, float>> odd = {
        {{kLROffset, 33.3f}, {kLSRSOffset, 171.0f}, {kRearDelay, 12.5f}, {kRearSlopeFilter, 3.3f}},
        {{kFrontLevel, -60.0f}, {kRearLevel, -17.0f}, {kCenterPolarPattern, 0.05f}, {kFrontMute, 1.0f}},
        {{kLROffset, 400.0f}, {kRearDelay, -3.0f}, {kCenterLevel, 12.0f}, {kFrontMute, 0.0f}}};
    EXPECT_TRUE(decodesAlike(44100.0, {64, 333, 1024}, odd));
    EXPECT_TRUE(decodesAlike(96000.0, {256, 256, 256}, odd, /*inPlace=*/true));
    EXPECT_TRUE(decodesAlike(8000.0, {100}, odd));
    EXPECT_TRUE(decodesAlike(384000.0, {2048}, odd));
}

TEST(Lv2Bundle, SurvivesWhatHostsDo)
{
    constexpr int kFrames = 512;
    WiredEffect lv2(44100.0, kFrames, 7);
    ASSERT_NE(lv2.instance, nullptr);
    for (int cycle = 0; cycle < 3; ++cycle)
    {
        lilv_instance_activate(lv2.instance);
        // Values no control should carry: not numbers, infinities, far outside the range.
        for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), 1e30f, -1e30f})
        {
            for (float& c : lv2.controls)
                c = bad;
            lilv_instance_run(lv2.instance, kFrames);
            ASSERT_TRUE(lv2.outputFinite()) << bad;
        }
        lilv_instance_run(lv2.instance, 0);
        lilv_instance_deactivate(lv2.instance);
    }
    for (float m : lv2.meters)
        EXPECT_TRUE(std::isfinite(m) && m >= 0.0f && m <= 1.0f);
}

TEST(Lv2Bundle, MetersReadExactZeroOnSilence)
{
    // Hosts show the meter ports in their generic controls: silence must read 0, not the
    // engine's anti-subnormal offset ("1e-20"). Signal still reads as the engine has it.
    constexpr int kFrames = 512;
    WiredEffect lv2(48000.0, kFrames, 5);
    ASSERT_NE(lv2.instance, nullptr);
    lilv_instance_activate(lv2.instance);
    lilv_instance_run(lv2.instance, kFrames);
    for (float m : lv2.meters)
        EXPECT_GT(m, 0.01f);
    for (auto& channel : lv2.in)
        std::fill(channel.begin(), channel.end(), 0.0f);
    for (int block = 0; block < 30 * 48000 / kFrames; ++block)
        lilv_instance_run(lv2.instance, kFrames);
    for (float m : lv2.meters)
        EXPECT_EQ(m, 0.0f);
    lilv_instance_deactivate(lv2.instance);
}

TEST(Lv2Bundle, RunAllocatesNothing)
{
    constexpr int kFrames = 4096;
    WiredEffect lv2(48000.0, kFrames, 3);
    ASSERT_NE(lv2.instance, nullptr);
    lilv_instance_activate(lv2.instance);
    lilv_instance_run(lv2.instance, kFrames);
    lilv_instance_deactivate(lv2.instance);
    lilv_instance_activate(lv2.instance);
    AllocationCounter counter;
    // The first run after activating, with a new delay: it starts at its length.
    lv2.controls[kRearDelay] = 30.0f;
    lilv_instance_run(lv2.instance, kFrames);
    for (int block = 0; block < 8; ++block)
    {
        // Every control moves every block: the coefficients and the delay are recomputed.
        for (int i = 0; i < kNumParameters; ++i)
            lv2.controls[i] = static_cast<float>(kalvo::knobToUnit(i, (block % 4) / 4.0 + 0.1));
        lilv_instance_run(lv2.instance, static_cast<uint32_t>(block == 7 ? 1 : kFrames));
    }
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(counter.waits(), 0); // no lock taken, no read, write or sleep
    lilv_instance_deactivate(lv2.instance);
}

namespace
{

/// The objects of (subject, predicate), as strings.
std::vector<std::string> objectsOf(const LilvNode* subject, const std::string& predicate)
{
    Bundle& b = bundle();
    LilvNode* p = b.node(predicate);
    LilvNodes* found = lilv_world_find_nodes(b.world, subject, p, nullptr);
    std::vector<std::string> out;
    LILV_FOREACH(nodes, i, found)
    out.emplace_back(lilv_node_as_string(lilv_nodes_get(found, i)));
    lilv_nodes_free(found);
    lilv_node_free(p);
    return out;
}

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

constexpr const char* kRdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";

} // namespace

TEST(Lv2Bundle, BinariesAreSeparateAnswerOnlyWhatTheTurtleDeclaresAndNeedNoInstanceAccess)
{
    Bundle& b = bundle();
    ASSERT_NE(b.plugin, nullptr);
    LilvUIs* uis = lilv_plugin_get_uis(b.plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    char* dspPath = lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_library_uri(b.plugin)), nullptr);
    char* uiPath = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    EXPECT_STRNE(dspPath, uiPath);

    // Each binary has its own entry and not the other's.
    void* dsp = dlopen(dspPath, RTLD_NOW | RTLD_LOCAL);
    void* gui = dlopen(uiPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(dsp, nullptr) << dlerror();
    ASSERT_NE(gui, nullptr) << dlerror();
    EXPECT_EQ(dlsym(dsp, "lv2ui_descriptor"), nullptr);
    EXPECT_EQ(dlsym(gui, "lv2_descriptor"), nullptr);
    auto uiEntry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(gui, "lv2ui_descriptor"));
    ASSERT_NE(uiEntry, nullptr);
    const LV2UI_Descriptor* uiDescriptor = uiEntry(0);
    ASSERT_NE(uiDescriptor, nullptr);
    EXPECT_EQ(uiEntry(1), nullptr);
    EXPECT_STREQ(uiDescriptor->URI, lilv_node_as_uri(lilv_ui_get_uri(ui)));

    // Extension data: what the Turtle names is there, anything else is null.
    const std::string uiNs = "http://lv2plug.in/ns/extensions/ui#";
    const auto uiExtensions = objectsOf(lilv_ui_get_uri(ui), std::string(kLv2) + "extensionData");
    const auto uiRequired = objectsOf(lilv_ui_get_uri(ui), std::string(kLv2) + "requiredFeature");
    const auto uiOptional = objectsOf(lilv_ui_get_uri(ui), std::string(kLv2) + "optionalFeature");
    for (const std::string& uri :
         {uiNs + "idleInterface", uiNs + "resize", uiNs + "showInterface",
          std::string("http://lv2plug.in/ns/ext/options#interface"), std::string("urn:kalvo-test:unknown")})
        EXPECT_EQ(uiDescriptor->extension_data(uri.c_str()) != nullptr, contains(uiExtensions, uri)) << uri;
    EXPECT_EQ(uiDescriptor->extension_data(""), nullptr);
    // The idle interface is asked of the host as a feature as well as offered.
    EXPECT_TRUE(contains(uiExtensions, uiNs + "idleInterface"));
    EXPECT_TRUE(contains(uiRequired, uiNs + "idleInterface") || contains(uiOptional, uiNs + "idleInterface"));
    for (const char* access : {LV2_INSTANCE_ACCESS_URI, LV2_DATA_ACCESS_URI})
        EXPECT_FALSE(contains(uiRequired, access)) << access;

    const auto dspExtensions = objectsOf(lilv_plugin_get_uri(b.plugin), std::string(kLv2) + "extensionData");
    Lv2Effect effect(48000.0);
    ASSERT_NE(effect.instance, nullptr);
    for (const char* uri :
         {"http://lv2plug.in/ns/ext/state#interface", "http://lv2plug.in/ns/ext/worker#interface",
          "http://lv2plug.in/ns/ext/options#interface", "urn:kalvo-test:unknown", ""})
        EXPECT_EQ(lilv_instance_get_extension_data(effect.instance, uri) != nullptr,
                  contains(dspExtensions, uri))
            << uri;

    dlclose(gui);
    dlclose(dsp);
    lilv_free(uiPath);
    lilv_free(dspPath);
    lilv_uis_free(uis);
}

TEST(Lv2Bundle, RangesDefaultsUnitsAndPortGroupsAreConsistent)
{
    Bundle& b = bundle();
    ASSERT_NE(b.plugin, nullptr);
    std::vector<float> minimum(kNumPorts), maximum(kNumPorts), defaults(kNumPorts);
    lilv_plugin_get_port_ranges_float(b.plugin, minimum.data(), maximum.data(), defaults.data());
    const std::string unitsNs = "http://lv2plug.in/ns/extensions/units#";
    for (int p = kFirstControl; p < kNumPorts; ++p)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(b.plugin, static_cast<uint32_t>(p));
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(b.plugin, port));
        EXPECT_LT(minimum[p], maximum[p]) << symbol;
        if (p < kFirstMeterPort)
        {
            EXPECT_GE(defaults[p], minimum[p]) << symbol;
            EXPECT_LE(defaults[p], maximum[p]) << symbol;
        }
        LilvNode* unitPredicate = b.node(unitsNs + "unit");
        LilvNodes* units = lilv_port_get_value(b.plugin, port, unitPredicate);
        LILV_FOREACH(nodes, i, units)
        {
            // A unit the units vocabulary defines.
            const LilvNode* unit = lilv_nodes_get(units, i);
            EXPECT_TRUE(contains(objectsOf(unit, kRdfType), unitsNs + "Unit"))
                << symbol << " " << lilv_node_as_string(unit);
        }
        lilv_nodes_free(units);
        lilv_node_free(unitPredicate);
    }

    // The output group: a group of the vocabulary, with a symbol, and its six ports in it,
    // each with a designation of its own.
    const std::string pg = kGroups;
    LilvNode* groupPredicate = b.node(pg + "group");
    LilvNode* designationPredicate = b.node("http://lv2plug.in/ns/lv2core#designation");
    std::vector<std::string> designations;
    std::string group;
    for (int p = 0; p < kNumPorts; ++p)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(b.plugin, static_cast<uint32_t>(p));
        LilvNodes* groups = lilv_port_get_value(b.plugin, port, groupPredicate);
        if (groups)
        {
            group = lilv_node_as_string(lilv_nodes_get_first(groups));
            LilvNodes* d = lilv_port_get_value(b.plugin, port, designationPredicate);
            ASSERT_NE(d, nullptr) << p;
            designations.emplace_back(lilv_node_as_string(lilv_nodes_get_first(d)));
            lilv_nodes_free(d);
        }
        lilv_nodes_free(groups);
    }
    lilv_node_free(designationPredicate);
    lilv_node_free(groupPredicate);
    ASSERT_FALSE(group.empty());
    LilvNode* groupNode = b.node(group);
    const auto types = objectsOf(groupNode, kRdfType);
    EXPECT_TRUE(contains(types, pg + "OutputGroup")) << group;
    EXPECT_TRUE(contains(types, pg + "FivePointOneGroup")) << group;
    EXPECT_EQ(objectsOf(groupNode, std::string(kLv2) + "symbol").size(), 1u);
    lilv_node_free(groupNode);
    std::sort(designations.begin(), designations.end());
    EXPECT_EQ(std::unique(designations.begin(), designations.end()), designations.end());
    EXPECT_EQ(designations.size(), 6u);
}

TEST(Lv2Bundle, EachPresetRestoredThroughLilvSoundsLikeItsProgramInKalvoSo)
{
    Bundle& b = bundle();
    LilvNode* type = b.node(kPresets);
    LilvNodes* related = lilv_plugin_get_related(b.plugin, type);
    int restored = 0;
    LILV_FOREACH(nodes, i, related)
    {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(b.world, preset);
        LilvState* state = lilv_state_new_from_world(b.world, &b.urids.map, preset);
        ASSERT_NE(state, nullptr);
        const std::string label = lilv_state_get_label(state);

        WiredEffect lv2(48000.0, 1024, 9);
        ASSERT_NE(lv2.instance, nullptr);
        const LV2_Feature* features[] = {&b.urids.feature, nullptr};
        lilv_state_restore(
            state, lv2.instance,
            [](const char* symbol, void* user, const void* value, uint32_t size, uint32_t)
            {
                const int index = kalvo::findParameterByName(symbol);
                if (index >= 0 && size == sizeof(float))
                    static_cast<Lv2Effect*>(user)->controls[index] = *static_cast<const float*>(value);
            },
            &lv2, 0, features);
        lilv_state_free(state);

        VstEffect vst(48000.0);
        // The factory program of the same name, chosen as the VST 2.4 panel's menu does.
        const char* const programs[5] = {"5-Channel", "4-Channel optimized", "XY Stereo 90", "XY Stereo 60",
                                         "5-Channel Musical"};
        int program = -1;
        for (int p = 0; p < 5; ++p)
            if (kalvo::nameKey(programs[p]) == kalvo::nameKey(label))
                program = p;
        ASSERT_GE(program, 0) << label;
        call(vst.effect, effMainsChanged, 0, 0);
        vst.effect->setParameter(vst.effect, kPresetSelect, static_cast<float>(program + 1));
        call(vst.effect, effMainsChanged, 0, 1);

        // The program's knob positions, as far as a float port in the panel's units carries
        // them: 0.64 of the surround angle is 147.6 degrees, whose nearest float reads back as
        // 0.64000005. Kalvo.so then takes the positions the port gave, and the two sound alike.
        for (int p = 0; p < kNumParameters; ++p)
            EXPECT_NEAR(kalvo::unitToKnob(p, lv2.controls[p]), vst.effect->getParameter(vst.effect, p), 1e-7)
                << label << " " << kalvo::parameterSpec(p).symbol;
        vst.apply(lv2.controls);
        call(vst.effect, effMainsChanged, 0, 0);
        call(vst.effect, effMainsChanged, 0, 1);
        lilv_instance_activate(lv2.instance);
        std::vector<std::vector<float>> vstOut(6, std::vector<float>(1024));
        for (int block = 0; block < 3; ++block)
        {
            fillNoise(lv2.in, 40u + static_cast<unsigned>(block));
            float* in[6] = {lv2.in[0].data(), lv2.in[1].data(), lv2.in[2].data(), nullptr, nullptr, nullptr};
            float* out[6];
            for (int c = 0; c < 6; ++c)
                out[c] = vstOut[c].data();
            vst.effect->processReplacing(vst.effect, in, out, 1024);
            lilv_instance_run(lv2.instance, 1024);
            for (int c = 0; c < 6; ++c)
                ASSERT_EQ(std::memcmp(vstOut[c].data(), lv2.out[c].data(), 1024 * sizeof(float)), 0)
                    << label << " block " << block << " channel " << c;
        }
        lilv_instance_deactivate(lv2.instance);
        ++restored;
    }
    EXPECT_EQ(restored, 5);
    lilv_nodes_free(related);
    lilv_node_free(type);
}

TEST(Lv2Bundle, RunsAtEveryRateAndBlockSizeAndRecoversFromAnyInput)
{
    // Whatever the blocks, the sound is the same: one run of the whole signal against
    // powers of two and random sizes with empty runs among them, in place and out of place.
    constexpr int kFrames = 16384;
    std::mt19937 rng(3);
    for (double rate : {1000.0, 22050.0, 44100.0, 192000.0, 768000.0})
    {
        WiredEffect whole(rate, kFrames, 5);
        ASSERT_NE(whole.instance, nullptr) << rate;
        lilv_instance_activate(whole.instance);
        lilv_instance_run(whole.instance, kFrames);
        ASSERT_TRUE(whole.outputFinite());
        for (int mode = 0; mode < 2; ++mode)
        {
            WiredEffect pieces(rate, kFrames, 5);
            lilv_instance_activate(pieces.instance);
            int done = 0;
            for (int run = 0; done < kFrames; ++run)
            {
                int n = mode == 0 ? std::min(1 << (run % 15), kFrames - done)
                                  : std::uniform_int_distribution<int>(0, kFrames - done)(rng);
                if (run % 5 == 4)
                    n = 0;
                // In place on odd runs: L, R and C over the capsules' buffers.
                const bool inPlace = run % 2 == 1;
                float* in[3];
                float* out[6];
                for (int c = 0; c < 3; ++c)
                    in[c] = pieces.in[c].data() + done;
                for (int c = 0; c < 6; ++c)
                    out[c] = inPlace && c < 3 ? in[c] : pieces.out[c].data() + done;
                pieces.connect(in, out);
                lilv_instance_run(pieces.instance, static_cast<uint32_t>(n));
                if (inPlace)
                    for (int c = 0; c < 3; ++c)
                        std::copy(in[c], in[c] + n, pieces.out[c].begin() + done);
                done += n;
            }
            for (int c = 0; c < 6; ++c)
                ASSERT_EQ(std::memcmp(pieces.out[c].data(), whole.out[c].data(), sizeof(float) * kFrames), 0)
                    << "rate " << rate << " mode " << mode << " channel " << c;
        }
    }

    // Odd input: finite at once when finite, and finite again 55 ms after a non-finite one
    // (the surrounds' delay gives it back once); the LFE always silent.
    WiredEffect lv2(48000.0, 1024, 1);
    lilv_instance_activate(lv2.instance);
    lv2.controls[kRearDelay] = 55.0f;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    for (float bad : {nan, inf, -inf, tiny, 1.0f})
    {
        for (int block = 0; block < 8; ++block)
        {
            fillNoise(lv2.in, 100u + static_cast<unsigned>(block));
            for (auto& ch : lv2.in)
                for (size_t i = 0; i < ch.size(); ++i)
                    if (std::isfinite(bad) ? true : block == 0 && i == 500)
                        ch[i] = std::isfinite(bad) ? ((i / 3) % 2 ? bad : -bad) : bad;
            lilv_instance_run(lv2.instance, 1024);
            if (std::isfinite(bad) || block >= 4)
            {
                ASSERT_TRUE(lv2.outputFinite()) << bad << " block " << block;
            }
            ASSERT_TRUE(std::all_of(lv2.out[3].begin(), lv2.out[3].end(), [](float s) { return s == 0.0f; }));
        }
    }
}
