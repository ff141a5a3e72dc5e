#include "viewer/viewercolumns.h"

#include "db/settings.h"

#include <algorithm>

namespace shelvix::viewer {

std::vector<ViewerColumn> planViewerColumns(const db::DatabaseSettings& settings) {
    constexpr int n = db::kFieldCount;
    // Field numbers in grid order, with their visibility: the list the
    // placement moves fields around in.
    std::vector<int> order(n);
    std::vector<bool> visible(n + 1);
    for (int f = 1; f <= n; ++f) {
        order[std::size_t(f - 1)] = f;
        visible[std::size_t(f)] = settings.displayFields[std::size_t(f - 1)];
    }
    std::size_t placed = 0;
    for (int p = 1; p <= n; ++p) {
        int field = 1;
        for (int f = 1; f <= n; ++f) {
            if (settings.fieldOrder[std::size_t(f - 1)] == p) {
                field = f;
                break;
            }
        }
        if (!settings.displayFields[std::size_t(field - 1)])
            continue;
        auto it = std::find(order.begin(), order.end(), field);
        order.erase(it);
        order.insert(order.begin() + std::ptrdiff_t(std::min(placed, order.size())), field);
        ++placed;
    }

    std::vector<ViewerColumn> columns;
    for (int f : order) {
        if (!visible[std::size_t(f)])
            continue;
        auto i = std::size_t(f - 1);
        columns.push_back({f, settings.fieldNames[i], settings.fieldWidth[i]});
    }
    return columns;
}

} // namespace shelvix::viewer
