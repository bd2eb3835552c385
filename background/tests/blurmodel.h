// SPDX-License-Identifier: GPL-2.0-or-later
// An independent model of one blur pass over a line of one channel: the
// seven-tap kernel, divided by the weights that fell inside the line.
#ifndef BACKGROUND_TESTS_BLURMODEL_H
#define BACKGROUND_TESTS_BLURMODEL_H

#include <vector>

using Line = std::vector<unsigned>;

inline Line blurredLine(const Line &in)
{
    static const unsigned kernel[7] = {1, 6, 15, 20, 15, 6, 1};
    const int n = int(in.size());
    Line out(in.size());
    for (int x = 0; x < n; ++x) {
        unsigned sum = 0;
        unsigned weights = 0;
        for (int k = x - 3; k <= x + 3; ++k) {
            if (k >= 0 && k < n) {
                sum += kernel[k - x + 3] * in[size_t(k)];
                weights += kernel[k - x + 3];
            }
        }
        out[size_t(x)] = sum / weights;
    }
    return out;
}

#endif // BACKGROUND_TESTS_BLURMODEL_H
