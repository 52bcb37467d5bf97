// Our own declaration of the VST 3 plug-in interface (revision 3.7.14), as far as this
// project uses it: the interface identifiers, the interfaces as classes of pure virtual
// methods in their binary slot order, the plain structs with their layouts, the result
// codes, speaker bits and flags. Written for this project from the published interface
// description; the static assertions at the end pin every layout a host reads.
//
// Binary rules the declarations keep: no data members, no virtual destructors and no
// overloaded names in an interface (either would move slots on one of the two
// compilers' vtable layouts); every interface other than the versioned ones derives
// directly from FUnknown; nothing but plain structs, 16-byte ids and interface
// pointers crosses the boundary.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define KALVO_VST3_API __stdcall
#else
#define KALVO_VST3_API
#endif

namespace vst3
{

using int8 = char;
using uint8 = std::uint8_t;
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using tresult = int32;
using TBool = uint8;
using char8 = char;
using char16 = char16_t;
using TChar = char16;
using String128 = TChar[128];
using FIDString = const char8*;
using TUID = char[16];
using ParamID = uint32;
using ParamValue = double;
using SpeakerArrangement = uint64;
using UnitID = int32;
using ProgramListID = int32;
using MediaType = int32;
using BusDirection = int32;

// ---- result codes: COM's values on Windows, small numbers elsewhere ----
#if defined(_WIN32)
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;

// ---- identifiers ----

/// A 16-byte class or interface id, built from its four 32-bit words in the platform's
/// byte layout: Windows keeps the GUID memory layout (first word little-endian, the
/// second word's halves swapped and each little-endian, the rest big-endian); other
/// platforms store the four words big-endian, so the bytes read like the hex text.
struct Uid
{
    char bytes[16];

    constexpr Uid(uint32 l1, uint32 l2, uint32 l3, uint32 l4) : bytes{}
    {
#if defined(_WIN32)
        const uint32 w1 = l1;
        const uint32 w2 = ((l2 & 0xFFFFu) << 16) | (l2 >> 16);
        put(0, w1, true);
        put(4, w2, true);
#else
        put(0, l1, false);
        put(4, l2, false);
#endif
        put(8, l3, false);
        put(12, l4, false);
    }
    /// True when the 16 bytes at `other` (a host's TUID) equal this id.
    bool matches(const char* other) const
    {
        if (!other)
            return false;
        for (int i = 0; i < 16; ++i)
            if (bytes[i] != other[i])
                return false;
        return true;
    }

private:
    constexpr void put(int at, uint32 word, bool littleEndian)
    {
        for (int i = 0; i < 4; ++i)
        {
            const int shift = littleEndian ? 8 * i : 8 * (3 - i);
            bytes[at + i] = static_cast<char>(static_cast<unsigned char>((word >> shift) & 0xFFu));
        }
    }
};

// ---- FUnknown and the interfaces every object may answer ----

class FUnknown
{
public:
    static constexpr Uid iid{0x00000000, 0x00000000, 0xC0000000, 0x00000046};
    virtual tresult KALVO_VST3_API queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32 KALVO_VST3_API addRef() = 0;
    virtual uint32 KALVO_VST3_API release() = 0;
};

class IPluginBase : public FUnknown
{
public:
    static constexpr Uid iid{0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625};
    virtual tresult KALVO_VST3_API initialize(FUnknown* context) = 0;
    virtual tresult KALVO_VST3_API terminate() = 0;
};

// ---- factory ----

constexpr int32 kNameSize = 64;
constexpr int32 kURLSize = 256;
constexpr int32 kEmailSize = 128;
constexpr int32 kCategorySize = 32;
constexpr int32 kSubCategoriesSize = 128;
constexpr int32 kVendorSize = 64;
constexpr int32 kVersionSize = 64;
constexpr int32 kManyInstances = 0x7FFFFFFF;
constexpr int32 kFactoryFlagUnicode = 1 << 4;
constexpr int32 kComponentDistributable = 1 << 0;

struct PFactoryInfo
{
    char8 vendor[kVendorSize];
    char8 url[kURLSize];
    char8 email[kEmailSize];
    int32 flags;
};

struct PClassInfo
{
    TUID cid;
    int32 cardinality;
    char8 category[kCategorySize];
    char8 name[kNameSize];
};

struct PClassInfo2
{
    TUID cid;
    int32 cardinality;
    char8 category[kCategorySize];
    char8 name[kNameSize];
    uint32 classFlags;
    char8 subCategories[kSubCategoriesSize];
    char8 vendor[kVendorSize];
    char8 version[kVersionSize];
    char8 sdkVersion[kVersionSize];
};

struct PClassInfoW
{
    TUID cid;
    int32 cardinality;
    char8 category[kCategorySize];
    char16 name[kNameSize];
    uint32 classFlags;
    char8 subCategories[kSubCategoriesSize];
    char16 vendor[kVendorSize];
    char16 version[kVersionSize];
    char16 sdkVersion[kVersionSize];
};

class IPluginFactory : public FUnknown
{
public:
    static constexpr Uid iid{0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F};
    virtual tresult KALVO_VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 KALVO_VST3_API countClasses() = 0;
    virtual tresult KALVO_VST3_API getClassInfo(int32 index, PClassInfo* info) = 0;
    /// `cid` and `iid` are 16-byte ids, not texts.
    virtual tresult KALVO_VST3_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;
};

class IPluginFactory2 : public IPluginFactory
{
public:
    static constexpr Uid iid{0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB};
    virtual tresult KALVO_VST3_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2
{
public:
    static constexpr Uid iid{0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931};
    virtual tresult KALVO_VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult KALVO_VST3_API setHostContext(FUnknown* context) = 0;
};

// ---- streams ----

constexpr int32 kIBSeekSet = 0;
constexpr int32 kIBSeekCur = 1;
constexpr int32 kIBSeekEnd = 2;

class IBStream : public FUnknown
{
public:
    static constexpr Uid iid{0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B};
    virtual tresult KALVO_VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
    virtual tresult KALVO_VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
    virtual tresult KALVO_VST3_API seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult KALVO_VST3_API tell(int64* pos) = 0;
};

// ---- buses and processing ----

constexpr MediaType kAudio = 0;
constexpr MediaType kEvent = 1;
constexpr BusDirection kInput = 0;
constexpr BusDirection kOutput = 1;
constexpr int32 kMainBus = 0;
constexpr uint32 kBusDefaultActive = 1u << 0;
constexpr int32 kSample32 = 0;
constexpr int32 kSample64 = 1;
constexpr int32 kRealtime = 0;
constexpr int32 kOffline = 2;

// Speaker bits: channel i of a bus is the arrangement's i-th set bit from bit 0.
constexpr SpeakerArrangement kSpeakerL = 1u << 0;
constexpr SpeakerArrangement kSpeakerR = 1u << 1;
constexpr SpeakerArrangement kSpeakerC = 1u << 2;
constexpr SpeakerArrangement kSpeakerLfe = 1u << 3;
constexpr SpeakerArrangement kSpeakerLs = 1u << 4;
constexpr SpeakerArrangement kSpeakerRs = 1u << 5;
constexpr SpeakerArrangement kSpeakerS = 1u << 8;
/// Three channels L R C ("3.0 cinema").
/// Two channels L R.
constexpr SpeakerArrangement kArrangementStereo = kSpeakerL | kSpeakerR;
constexpr SpeakerArrangement kArrangement30Cine = kSpeakerL | kSpeakerR | kSpeakerC;
/// Three channels L R S ("3.0 music").
constexpr SpeakerArrangement kArrangement30Music = kSpeakerL | kSpeakerR | kSpeakerS;
/// L R C Lfe Ls Rs.
constexpr SpeakerArrangement kArrangement51 =
    kSpeakerL | kSpeakerR | kSpeakerC | kSpeakerLfe | kSpeakerLs | kSpeakerRs;

struct BusInfo
{
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    int32 busType;
    uint32 flags;
};

struct RoutingInfo
{
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

struct ProcessSetup
{
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers
{
    int32 numChannels;
    uint64 silenceFlags;
    union
    {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown
{
public:
    static constexpr Uid iid{0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA};
    virtual ParamID KALVO_VST3_API getParameterId() = 0;
    virtual int32 KALVO_VST3_API getPointCount() = 0;
    virtual tresult KALVO_VST3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult KALVO_VST3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
};

class IParameterChanges : public FUnknown
{
public:
    static constexpr Uid iid{0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D};
    virtual int32 KALVO_VST3_API getParameterCount() = 0;
    virtual IParamValueQueue* KALVO_VST3_API getParameterData(int32 index) = 0;
    virtual IParamValueQueue* KALVO_VST3_API addParameterData(const ParamID& id, int32& index) = 0;
};

/// Opaque: the effect has no event bus.
struct Event;

class IEventList : public FUnknown
{
public:
    static constexpr Uid iid{0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44};
    virtual int32 KALVO_VST3_API getEventCount() = 0;
    virtual tresult KALVO_VST3_API getEvent(int32 index, Event& e) = 0;
    virtual tresult KALVO_VST3_API addEvent(Event& e) = 0;
};

/// Opaque: the effect reads nothing of the transport.
struct ProcessContext;

struct ProcessData
{
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

class IComponent : public IPluginBase
{
public:
    static constexpr Uid iid{0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802};
    virtual tresult KALVO_VST3_API getControllerClassId(TUID classId) = 0;
    virtual tresult KALVO_VST3_API setIoMode(int32 mode) = 0;
    virtual int32 KALVO_VST3_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult KALVO_VST3_API getBusInfo(MediaType type, BusDirection dir, int32 index,
                                              BusInfo& bus) = 0;
    virtual tresult KALVO_VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult KALVO_VST3_API activateBus(MediaType type, BusDirection dir, int32 index,
                                               TBool state) = 0;
    virtual tresult KALVO_VST3_API setActive(TBool state) = 0;
    virtual tresult KALVO_VST3_API setState(IBStream* state) = 0;
    virtual tresult KALVO_VST3_API getState(IBStream* state) = 0;
};

class IAudioProcessor : public FUnknown
{
public:
    static constexpr Uid iid{0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D};
    virtual tresult KALVO_VST3_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                      SpeakerArrangement* outputs, int32 numOuts) = 0;
    virtual tresult KALVO_VST3_API getBusArrangement(BusDirection dir, int32 index,
                                                     SpeakerArrangement& arr) = 0;
    virtual tresult KALVO_VST3_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 KALVO_VST3_API getLatencySamples() = 0;
    virtual tresult KALVO_VST3_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult KALVO_VST3_API setProcessing(TBool state) = 0;
    virtual tresult KALVO_VST3_API process(ProcessData& data) = 0;
    virtual uint32 KALVO_VST3_API getTailSamples() = 0;
};

class IProcessContextRequirements : public FUnknown
{
public:
    static constexpr Uid iid{0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0};
    virtual uint32 KALVO_VST3_API getProcessContextRequirements() = 0;
};

// ---- messages between the two parts ----

class IAttributeList : public FUnknown
{
public:
    static constexpr Uid iid{0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4};
    using AttrID = const char*;
    virtual tresult KALVO_VST3_API setInt(AttrID id, int64 value) = 0;
    virtual tresult KALVO_VST3_API getInt(AttrID id, int64& value) = 0;
    virtual tresult KALVO_VST3_API setFloat(AttrID id, double value) = 0;
    virtual tresult KALVO_VST3_API getFloat(AttrID id, double& value) = 0;
    virtual tresult KALVO_VST3_API setString(AttrID id, const TChar* string) = 0;
    virtual tresult KALVO_VST3_API getString(AttrID id, TChar* string, uint32 sizeInBytes) = 0;
    virtual tresult KALVO_VST3_API setBinary(AttrID id, const void* data, uint32 sizeInBytes) = 0;
    virtual tresult KALVO_VST3_API getBinary(AttrID id, const void*& data, uint32& sizeInBytes) = 0;
};

class IMessage : public FUnknown
{
public:
    static constexpr Uid iid{0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613};
    virtual FIDString KALVO_VST3_API getMessageID() = 0;
    virtual void KALVO_VST3_API setMessageID(FIDString id) = 0;
    virtual IAttributeList* KALVO_VST3_API getAttributes() = 0;
};

class IConnectionPoint : public FUnknown
{
public:
    static constexpr Uid iid{0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1};
    virtual tresult KALVO_VST3_API connect(IConnectionPoint* other) = 0;
    virtual tresult KALVO_VST3_API disconnect(IConnectionPoint* other) = 0;
    virtual tresult KALVO_VST3_API notify(IMessage* message) = 0;
};

class IHostApplication : public FUnknown
{
public:
    static constexpr Uid iid{0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5};
    virtual tresult KALVO_VST3_API getName(String128 name) = 0;
    virtual tresult KALVO_VST3_API createInstance(TUID cid, TUID iid, void** obj) = 0;
};

// ---- edit controller ----

constexpr int32 kCanAutomate = 1 << 0;
constexpr int32 kIsReadOnly = 1 << 1;
constexpr int32 kIsList = 1 << 3;
constexpr int32 kIsHidden = 1 << 4;
constexpr int32 kIsProgramChange = 1 << 15;
constexpr int32 kRootUnitId = 0;
constexpr int32 kNoParentUnitId = -1;
constexpr int32 kNoProgramListId = -1;
constexpr int32 kParamValuesChanged = 1 << 2;

struct ParameterInfo
{
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

class IComponentHandler : public FUnknown
{
public:
    static constexpr Uid iid{0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6};
    virtual tresult KALVO_VST3_API beginEdit(ParamID id) = 0;
    virtual tresult KALVO_VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult KALVO_VST3_API endEdit(ParamID id) = 0;
    virtual tresult KALVO_VST3_API restartComponent(int32 flags) = 0;
};

class IPlugView;

class IEditController : public IPluginBase
{
public:
    static constexpr Uid iid{0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E};
    virtual tresult KALVO_VST3_API setComponentState(IBStream* state) = 0;
    virtual tresult KALVO_VST3_API setState(IBStream* state) = 0;
    virtual tresult KALVO_VST3_API getState(IBStream* state) = 0;
    virtual int32 KALVO_VST3_API getParameterCount() = 0;
    virtual tresult KALVO_VST3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult KALVO_VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                         String128 string) = 0;
    virtual tresult KALVO_VST3_API getParamValueByString(ParamID id, TChar* string,
                                                         ParamValue& valueNormalized) = 0;
    virtual ParamValue KALVO_VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue KALVO_VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue KALVO_VST3_API getParamNormalized(ParamID id) = 0;
    virtual tresult KALVO_VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult KALVO_VST3_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* KALVO_VST3_API createView(FIDString name) = 0;
};

class IEditController2 : public FUnknown
{
public:
    static constexpr Uid iid{0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038};
    virtual tresult KALVO_VST3_API setKnobMode(int32 mode) = 0;
    virtual tresult KALVO_VST3_API openHelp(TBool onlyCheck) = 0;
    virtual tresult KALVO_VST3_API openAboutBox(TBool onlyCheck) = 0;
};

// ---- units and program lists ----

struct UnitInfo
{
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo
{
    ProgramListID id;
    String128 name;
    int32 programCount;
};

class IUnitInfo : public FUnknown
{
public:
    static constexpr Uid iid{0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1};
    virtual int32 KALVO_VST3_API getUnitCount() = 0;
    virtual tresult KALVO_VST3_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 KALVO_VST3_API getProgramListCount() = 0;
    virtual tresult KALVO_VST3_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult KALVO_VST3_API getProgramName(ProgramListID listId, int32 programIndex,
                                                  String128 name) = 0;
    virtual tresult KALVO_VST3_API getProgramInfo(ProgramListID listId, int32 programIndex,
                                                  const char8* attributeId, String128 attributeValue) = 0;
    virtual tresult KALVO_VST3_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
    virtual tresult KALVO_VST3_API getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                       int16 midiPitch, String128 name) = 0;
    virtual UnitID KALVO_VST3_API getSelectedUnit() = 0;
    virtual tresult KALVO_VST3_API selectUnit(UnitID unitId) = 0;
    virtual tresult KALVO_VST3_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex,
                                                int32 channel, UnitID& unitId) = 0;
    virtual tresult KALVO_VST3_API setUnitProgramData(int32 listOrUnitId, int32 programIndex,
                                                      IBStream* data) = 0;
};

// ---- editor view ----

struct ViewRect
{
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;
};

constexpr const char* kPlatformTypeHWND = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";
constexpr const char* kEditorViewType = "editor";

class IPlugFrame;

class IPlugView : public FUnknown
{
public:
    static constexpr Uid iid{0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29};
    virtual tresult KALVO_VST3_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult KALVO_VST3_API attached(void* parent, FIDString type) = 0;
    virtual tresult KALVO_VST3_API removed() = 0;
    virtual tresult KALVO_VST3_API onWheel(float distance) = 0;
    virtual tresult KALVO_VST3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult KALVO_VST3_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult KALVO_VST3_API getSize(ViewRect* size) = 0;
    virtual tresult KALVO_VST3_API onSize(ViewRect* newSize) = 0;
    virtual tresult KALVO_VST3_API onFocus(TBool state) = 0;
    virtual tresult KALVO_VST3_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult KALVO_VST3_API canResize() = 0;
    virtual tresult KALVO_VST3_API checkSizeConstraint(ViewRect* rect) = 0;
};

class IPlugFrame : public FUnknown
{
public:
    static constexpr Uid iid{0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3};
    virtual tresult KALVO_VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

// The host's run loop on Linux, where no process-wide event loop exists.
class IEventHandler : public FUnknown
{
public:
    static constexpr Uid iid{0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983};
    virtual void KALVO_VST3_API onFDIsSet(int fd) = 0;
};

class ITimerHandler : public FUnknown
{
public:
    static constexpr Uid iid{0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9};
    virtual void KALVO_VST3_API onTimer() = 0;
};

class IRunLoop : public FUnknown
{
public:
    static constexpr Uid iid{0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389};
    virtual tresult KALVO_VST3_API registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult KALVO_VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult KALVO_VST3_API registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
    virtual tresult KALVO_VST3_API unregisterTimer(ITimerHandler* handler) = 0;
};

// ---- layouts hosts read directly ----
static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448, "PFactoryInfo");
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52, "PClassInfo");
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
                  offsetof(PClassInfo2, subCategories) == 120 && offsetof(PClassInfo2, vendor) == 248 &&
                  offsetof(PClassInfo2, version) == 312 && offsetof(PClassInfo2, sdkVersion) == 376,
              "PClassInfo2");
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180 &&
                  offsetof(PClassInfoW, subCategories) == 184 && offsetof(PClassInfoW, vendor) == 312 &&
                  offsetof(PClassInfoW, version) == 440 && offsetof(PClassInfoW, sdkVersion) == 568,
              "PClassInfoW");
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268 && offsetof(BusInfo, flags) == 272,
              "BusInfo");
static_assert(sizeof(RoutingInfo) == 12, "RoutingInfo");
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16, "ProcessSetup");
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
                  offsetof(AudioBusBuffers, channelBuffers32) == 16,
              "AudioBusBuffers");
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
                  offsetof(ProcessData, inputParameterChanges) == 40 &&
                  offsetof(ProcessData, processContext) == 72,
              "ProcessData");
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, shortTitle) == 260 &&
                  offsetof(ParameterInfo, units) == 516 && offsetof(ParameterInfo, stepCount) == 772 &&
                  offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
                  offsetof(ParameterInfo, unitId) == 784 && offsetof(ParameterInfo, flags) == 788,
              "ParameterInfo");
static_assert(sizeof(UnitInfo) == 268 && offsetof(UnitInfo, programListId) == 264, "UnitInfo");
static_assert(sizeof(ProgramListInfo) == 264 && offsetof(ProgramListInfo, programCount) == 260,
              "ProgramListInfo");
static_assert(sizeof(ViewRect) == 16, "ViewRect");
static_assert(sizeof(TBool) == 1 && sizeof(char16) == 2, "basic types");

} // namespace vst3
