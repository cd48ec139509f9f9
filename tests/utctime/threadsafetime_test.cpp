// Conversions from several threads at once must not share a result buffer.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "utctime.h"

namespace {

TEST(ThreadsafeTimeConcurrency, ThreadsGetTheirOwnResults) {
    const int threadCount = 8, rounds = 2000;
    std::vector<struct tm> utc(threadCount), local(threadCount);
    auto timeOf = [](int thread) { return 1000000000L + thread * 90061L; };  // a day, hour, minute, second apart
    for (int i = 0; i < threadCount; ++i) {
        threadsafe_gmtime(timeOf(i), &utc[i]);
        threadsafe_localtime(timeOf(i), &local[i]);
    }
    std::vector<int> mismatches(threadCount, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < rounds; ++round) {
                struct tm tm;
                threadsafe_gmtime(timeOf(i), &tm);
                mismatches[i] += utcNE(tm2utc(tm), tm2utc(utc[i]));
                threadsafe_localtime(timeOf(i), &tm);
                mismatches[i] += utcNE(tm2utc(tm), tm2utc(local[i]));
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < threadCount; ++i) EXPECT_EQ(mismatches[i], 0) << "thread " << i;
}

}  // namespace
