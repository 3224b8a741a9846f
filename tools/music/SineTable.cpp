#include "music/SineTable.h"

#include <array>

const float* sine_table::Table()
{
    static const std::array<float, kSize + 1> t = []
    {
        std::array<float, kSize + 1> a{};
        for (int i = 0; i <= kSize; ++i)
            a[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(2.0 * M_PI * i / kSize));
        return a;
    }();
    return t.data();
}
