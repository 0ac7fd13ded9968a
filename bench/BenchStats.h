#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>

// Prints "label: median M ms (min A, max B, n N)" for samples in milliseconds.
inline void printStats(const char *label, QList<double> samples)
{
    if (samples.isEmpty()) {
        std::printf("%s: no samples\n", label);
        return;
    }
    std::sort(samples.begin(), samples.end());
    const qsizetype n = samples.size();
    const double median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
    std::printf("%s: median %.1f ms (min %.1f, max %.1f, n %lld)\n", label, median, samples.first(),
                samples.last(), static_cast<long long>(n));
    std::fflush(stdout);
}
