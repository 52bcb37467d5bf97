#include "WaveChunks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace render
{
namespace
{

constexpr uint32_t kUnsized = 0xFFFFFFFFu; // an RF64 size field that ds64 holds instead
constexpr int kMaxChunks = 4096;           // a broken file does not keep the reader busy

uint64_t le(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

void putLe(unsigned char* p, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i, v >>= 8)
        p[i] = static_cast<unsigned char>(v);
}

bool readAt(int fd, void* buf, size_t n, uint64_t at)
{
    return ::pread(fd, buf, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
}

bool writeAt(int fd, const void* buf, size_t n, uint64_t at)
{
    return ::pwrite(fd, buf, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
}

// The chunks of an open file; `rf64` tells which container it is.
std::vector<WaveChunk> listChunks(int fd, bool& rf64)
{
    std::vector<WaveChunk> chunks;
    struct stat st;
    unsigned char head[12];
    if (::fstat(fd, &st) != 0 || !readAt(fd, head, sizeof head, 0) || std::memcmp(head + 8, "WAVE", 4) != 0)
        return chunks;
    rf64 = std::memcmp(head, "RF64", 4) == 0;
    if (!rf64 && std::memcmp(head, "RIFF", 4) != 0)
        return chunks;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    uint64_t bigDataSize = 0;
    uint64_t pos = 12;
    for (int n = 0; n < kMaxChunks && pos + 8 <= fileSize; ++n)
    {
        unsigned char c[8];
        if (!readAt(fd, c, sizeof c, pos))
            break;
        WaveChunk chunk;
        chunk.id.assign(reinterpret_cast<const char*>(c), 4);
        chunk.offset = pos + 8;
        chunk.size = le(c + 4, 4);
        if (rf64 && chunk.id == "ds64" && chunk.size >= 24)
        {
            unsigned char sizes[24];
            if (readAt(fd, sizes, sizeof sizes, chunk.offset))
                bigDataSize = le(sizes + 8, 8);
        }
        if (rf64 && chunk.id == "data" && chunk.size == kUnsized)
            chunk.size = bigDataSize;
        if (chunk.offset + chunk.size > fileSize)
            break;
        chunks.push_back(chunk);
        pos = chunk.offset + chunk.size + (chunk.size & 1);
    }
    return chunks;
}

} // namespace

std::vector<WaveChunk> listWaveChunks(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    bool rf64 = false;
    std::vector<WaveChunk> chunks = listChunks(fd, rf64);
    ::close(fd);
    return chunks;
}

bool readWaveChunk(const std::string& path, const std::string& id, std::string& body, uint64_t maxBytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool rf64 = false, found = false;
    for (const WaveChunk& c : listChunks(fd, rf64))
        if (c.id == id)
        {
            if (c.size > maxBytes)
                break;
            body.assign(static_cast<size_t>(c.size), '\0');
            found = c.size == 0 || readAt(fd, &body[0], body.size(), c.offset);
            break;
        }
    ::close(fd);
    return found;
}

bool appendWaveChunk(const std::string& path, const std::string& id, const std::string& body)
{
    if (id.size() != 4 || body.size() > kUnsized)
        return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool rf64 = false;
    const std::vector<WaveChunk> chunks = listChunks(fd, rf64);
    bool ok = false;
    struct stat st;
    if (!chunks.empty() && ::fstat(fd, &st) == 0)
    {
        const WaveChunk& last = chunks.back();
        // After the last chunk and its pad byte, or after whatever follows it.
        uint64_t at = last.offset + last.size + (last.size & 1);
        const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
        if (fileSize > at)
            at = fileSize + (fileSize & 1);
        const uint64_t end = at + 8 + body.size() + (body.size() & 1);
        const uint64_t riffSize = end - 8;
        if (rf64 || riffSize <= kUnsized)
        {
            std::string bytes(static_cast<size_t>(at - std::min(at, fileSize)), '\0'); // pad of the data
            unsigned char header[8];
            std::memcpy(header, id.data(), 4);
            putLe(header + 4, body.size(), 4);
            bytes.append(reinterpret_cast<const char*>(header), sizeof header);
            bytes += body;
            if (body.size() & 1)
                bytes += '\0';
            const uint64_t writeFrom = std::min(at, fileSize);
            ok = writeAt(fd, bytes.data(), bytes.size(), writeFrom);
            unsigned char size[8];
            if (ok && rf64)
            {
                // ds64 holds the RIFF size first; the header's field says 0xFFFFFFFF.
                ok = false;
                for (const WaveChunk& c : chunks)
                    if (c.id == "ds64" && c.size >= 8)
                    {
                        putLe(size, riffSize, 8);
                        ok = writeAt(fd, size, 8, c.offset);
                        break;
                    }
            }
            else if (ok)
            {
                putLe(size, riffSize, 4);
                ok = writeAt(fd, size, 4, 4);
            }
            if (!ok)
                (void)::ftruncate(fd, static_cast<off_t>(fileSize)); // as it was
        }
    }
    ::close(fd);
    return ok;
}

bool overwriteWaveChunk(const std::string& path, const std::string& id, const std::string& body)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool rf64 = false, ok = false;
    for (const WaveChunk& c : listChunks(fd, rf64))
        if (c.id == id)
        {
            if (body.size() <= c.size)
            {
                std::string bytes = body;
                bytes.resize(static_cast<size_t>(c.size), '\0');
                ok = writeAt(fd, bytes.data(), bytes.size(), c.offset);
            }
            break;
        }
    ::close(fd);
    return ok;
}

} // namespace render
