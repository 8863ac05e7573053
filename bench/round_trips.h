// The round-trip figure that the exchange and network benchmarks share: one GetInfoKeyCard
// through the session's exchange, as the window and the command line make it, timed after a
// warm-up, and its median, p99 and mean.
#pragma once

#include "commands/reader_session.h"
#include "link/command_set.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

struct RoundTripSummary
{
    double median;
    double p99;
    double mean;
};

inline RoundTripSummary summarize(QList<double> micros)
{
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (double m : micros)
        sum += m;
    return { micros[micros.size() / 2], micros[micros.size() * 99 / 100], sum / micros.size() };
}

// Microseconds per exchange; the first 20 rounds warm up and are not counted.
inline QList<double> sessionRoundTrips(ReaderSession &session, int rounds)
{
    QList<double> micros;
    QElapsedTimer clock;
    for (int i = 0; i < rounds + 20; ++i) {
        QString termId = GetTermID();
        QByteArray data(1, '\x00');
        QByteArray answer;
        clock.start();
        const quint8 r = session.SendCom_RebAns(Cmd::GetInfoKeyCard, termId, data, answer);
        const double us = double(clock.nsecsElapsed()) / 1000.0;
        if (r != 0)
            std::printf("unexpected result %d\n", r);
        if (i >= 20)
            micros << us;
    }
    return micros;
}
