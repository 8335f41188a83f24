#pragma once

#include <algorithm>

// The middle value of a set of timings (the upper one of an even count); the
// figure a benchmark reports, since single runs on a shared machine swing.
template<typename Container> auto median(Container values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The smallest value: the run the rest of the machine disturbed least.
template<typename Container> auto best(const Container& values)
{
    return *std::min_element(values.begin(), values.end());
}
