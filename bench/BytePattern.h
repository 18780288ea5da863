#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A fixed pseudo-random byte sequence repeating with a prime period, so that every echoed byte
// can be checked against its offset in the stream without keeping a copy of what was sent.
class BytePattern
{
public:
    static constexpr std::size_t period = 1048573;
    // The longest run at() hands out in one piece.
    static constexpr std::size_t maxSpan = 256 * 1024;

    BytePattern();

    // The bytes of the stream from offset on, at least maxSpan of them contiguous.
    const char *at(std::uint64_t offset) const { return m_bytes.data() + offset % period; }
    // True when data equals the stream's bytes from offset on (any length).
    bool matches(std::uint64_t offset, const char *data, std::size_t length) const;

private:
    std::vector<char> m_bytes;
};
