#pragma once

#include <vector>

// Order statistics of a sample of timings or sizes.
struct Summary {
    int count = 0;
    double min = 0, median = 0, p90 = 0, p99 = 0, max = 0, mean = 0;
};

// The nearest-rank percentile (p from 0 to 100) of the values; 0 when empty.
double percentile(std::vector<double> values, double p);
// The median: the middle value, or the mean of the two middle ones.
double median(std::vector<double> values);
Summary summarize(std::vector<double> values);
