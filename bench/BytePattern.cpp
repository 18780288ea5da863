#include "BytePattern.h"

#include <algorithm>
#include <cstring>

BytePattern::BytePattern() : m_bytes(period + maxSpan)
{
    std::uint32_t state = 0x9E3779B9u;
    for (std::size_t i = 0; i < period; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        m_bytes[i] = char(state >> 24);
    }
    std::copy_n(m_bytes.begin(), maxSpan, m_bytes.begin() + period);
}

bool BytePattern::matches(std::uint64_t offset, const char *data, std::size_t length) const
{
    while (length > 0) {
        const std::size_t span = std::min(length, maxSpan);
        if (std::memcmp(at(offset), data, span) != 0)
            return false;
        offset += span;
        data += span;
        length -= span;
    }
    return true;
}
