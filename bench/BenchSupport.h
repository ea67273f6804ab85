#pragma once

// What the window benchmarks share: no display needed, and medians of repeated timings.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <ctime>
#include <vector>

// Offscreen unless the caller chose a platform, so the benchmarks run without a display.
inline void UseOffscreenPlatformUnlessSet() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}

// Runs step `repetitions` times, each after an untimed setup; the median time in ms.
template <typename Step, typename Setup> double MedianMs(int repetitions, Step step, Setup setup) {
    std::vector<double> ms;
    for (int i = 0; i < repetitions; ++i) {
        setup();
        QElapsedTimer timer;
        timer.start();
        step();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Step> double TimedMs(Step step) {
    QElapsedTimer timer;
    timer.start();
    step();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

template <typename Step> double MedianMs(int repetitions, Step step) {
    return MedianMs(repetitions, step, [] {});
}

// Writes a group of `entries` addresses to the book file, in chunks.
inline bool WriteGroup(QFile& file, const QByteArray& name, int entries) {
    file.write("GROUP " + name + "\r\n");
    QByteArray chunk;
    for (int i = 0; i < entries; ++i) {
        chunk += "  entry" + QByteArray::number(i) + ": a" + QByteArray::number(i) + ",b\r\n";
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk + "END GROUP\r\n");
    return file.error() == QFileDevice::NoError;
}

// Processor time of the whole process in ms: what a step costs the machine, less noisy
// than the wall clock on a loaded one.
inline double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The median processor time of step in ms, each run after an untimed setup.
template <typename Step, typename Setup>
double MedianCpuMs(int repetitions, Step step, Setup setup) {
    std::vector<double> ms;
    for (int i = 0; i < repetitions; ++i) {
        setup();
        const double start = ProcessCpuMs();
        step();
        ms.push_back(ProcessCpuMs() - start);
    }
    return Median(ms);
}
