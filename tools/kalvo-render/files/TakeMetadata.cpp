#include "TakeMetadata.h"

#include "WaveChunks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace render
{
namespace
{

// The broadcast-wave chunk's fields before the coding history: description
// 256, originator 32, reference 32, date 10, time 8, time reference 8,
// version 2, UMID 64, loudness 10, reserved 180 bytes.
constexpr size_t kDateOffset = 256 + 32 + 32;
constexpr size_t kTimeReferenceOffset = kDateOffset + 10 + 8;
constexpr size_t kHistoryOffset = kTimeReferenceOffset + 8 + 2 + 64 + 10 + 180;
// A recorder's iXML is a few kilobytes; a chunk of megabytes is not one.
constexpr uint64_t kMaxIxmlBytes = 1 << 20;

uint64_t le(const std::string& s, size_t at, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}

// Frames per second of "25/1", "30000/1001" or "23.976"; 0 when unreadable.
double framesPerSecond(const std::string& rate)
{
    char* end = nullptr;
    const double num = std::strtod(rate.c_str(), &end);
    double den = 1.0;
    if (end && *end == '/')
        den = std::strtod(end + 1, nullptr);
    const double fps = den > 0.0 ? num / den : 0.0;
    return fps >= 1.0 && fps <= 1000.0 ? fps : 0.0;
}

} // namespace

TakeMetadata readTakeMetadata(const std::string& path)
{
    TakeMetadata m;
    std::string fmt, bext, xml;
    if (readWaveChunk(path, "fmt ", fmt) && fmt.size() >= 8)
        m.sampleRate = static_cast<int>(le(fmt, 4, 4));
    if (readWaveChunk(path, "bext", bext) && bext.size() >= kHistoryOffset)
    {
        m.hasBext = true;
        const std::string date = bext.substr(kDateOffset, 10);
        m.originationDate = date.substr(0, date.find('\0'));
        m.timeReference = le(bext, kTimeReferenceOffset, 8);
        const std::string history = bext.substr(kHistoryOffset);
        m.codingHistory = history.substr(0, history.find('\0'));
    }
    if (readWaveChunk(path, "iXML", xml, kMaxIxmlBytes))
    {
        m.hasIxml = true;
        m.ixml = readIxml(xml, 0);
    }
    return m;
}

std::string timecodeText(uint64_t samples, int sampleRate, const std::string& rate, const std::string& flag)
{
    char text[48];
    if (sampleRate <= 0)
        return {};
    const double fps = framesPerSecond(rate);
    if (fps <= 0.0)
    {
        const uint64_t s = samples / static_cast<uint64_t>(sampleRate);
        std::snprintf(text, sizeof text, "%02llu-%02llu-%02llu",
                      static_cast<unsigned long long>(s / 3600 % 24),
                      static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
        return text;
    }
    // Frames counted at the real rate, labelled at the nominal one (30 for 29.97).
    const auto nominal = static_cast<uint64_t>(std::llround(fps));
    uint64_t frames =
        static_cast<uint64_t>(std::floor(static_cast<long double>(samples) * fps / sampleRate + 1e-9L));
    const bool dropFrame = (flag == "DF" || flag == "df") && (nominal == 30 || nominal == 60) &&
                           std::fabs(fps - static_cast<double>(nominal)) > 0.001;
    if (dropFrame)
    {
        // Labels 0 and 1 (0 to 3 at 59.94) are skipped at the start of every
        // minute but each tenth: 17982 frames (35964) in ten minutes.
        const uint64_t drop = nominal / 15;
        const uint64_t perTen = nominal * 600 - drop * 9;
        const uint64_t perMinute = nominal * 60 - drop;
        const uint64_t tens = frames / perTen;
        const uint64_t rest = frames % perTen;
        frames += drop * 9 * tens + (rest > drop ? drop * ((rest - drop) / perMinute) : 0);
    }
    const uint64_t s = frames / nominal;
    std::snprintf(text, sizeof text, "%02llu-%02llu-%02llu-%02llu",
                  static_cast<unsigned long long>(s / 3600 % 24),
                  static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60),
                  static_cast<unsigned long long>(frames % nominal));
    return text;
}

} // namespace render
