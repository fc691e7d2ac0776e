#pragma once

// The values each option page control offers, as the entry table gives them:
// the tests' own copy, to hold the program's against.

#include <cstddef>

namespace kelvo {

struct Range {
    std::size_t entry;
    int low, high;
};
inline constexpr Range kPageRanges[] = {
    {1, 0, 6},    {3, 5, 37},   {4, 1, 30},  {5, 0, 14},  {6, 0, 1},    {7, 0, 2},    {8, 0, 7},
    {9, 0, 11},   {10, 0, 9},   {11, 0, 9},  {12, 0, 9},  {13, 0, 9},   {14, 0, 5},   {15, 0, 1},
    {16, 0, 1},   {17, 0, 14},  {18, 0, 60}, {19, 0, 30}, {24, 0, 255}, {25, 0, 255}, {26, 0, 7},
    {27, 1, 250}, {28, 2, 250}, {29, 0, 10}, {32, 0, 60}, {34, 0, 15},  {35, 20, 60}};
// Rate of fire (entry 2); the AE bypass list (entry 23) lacks the first two.
inline constexpr int kRofValues[] = {1,  45, 50, 53, 56,  59,  63,  67,
                                     71, 77, 83, 91, 100, 111, 125, 167};

} // namespace kelvo
