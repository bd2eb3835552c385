// SPDX-License-Identifier: GPL-2.0-or-later
#include "sampleparser_p.h"

namespace {

// Latin-1 white space as Qt classifies it.
bool isSpace(unsigned char c)
{
    return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0;
}

qint32 parseField(const unsigned char *begin, const unsigned char *end)
{
    while (begin < end && isSpace(*begin)) {
        ++begin;
    }
    while (end > begin && isSpace(end[-1])) {
        --end;
    }
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    if (begin == end) {
        return 0;
    }
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 value = 0;
    for (; begin < end; ++begin) {
        if (*begin < '0' || *begin > '9') {
            return 0;
        }
        value = value * 10 + (*begin - '0');
        if (value > limit) {
            return 0;
        }
    }
    return qint32(negative ? -value : value);
}

} // namespace

namespace ostrel {

void parseSampleFields(const char *text, int length, qint32 raw[3])
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    const unsigned char *end = p + (length > 0 ? length : 0);
    for (int field = 0; field < 3; ++field) {
        const unsigned char *start = p;
        while (p < end && *p != ':') {
            ++p;
        }
        raw[field] = parseField(start, p);
        if (p < end) {
            ++p; // past the ':'
        } else {
            // Fields beyond the text are missing: empty, so 0.
            for (++field; field < 3; ++field) {
                raw[field] = 0;
            }
        }
    }
}

} // namespace ostrel
