#pragma once

// Shortens a failing list by deleting parts of it (delta debugging on complements): the list is cut into n
// pieces and each piece deleted in turn; a shorter list that still fails is kept and cut again, and when no
// deletion fails the pieces are halved, down to single items. Each try runs the whole list from scratch.

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include <QString>

template <typename T>
struct Shrunk {
    std::vector<T> items;
    QString why;  ///< the failure of `items`
    int tries = 0;
};

/// The shortest list found that still fails, trying at most `budget` lists. `fails` runs a list from scratch
/// and says why it failed, or nothing.
template <typename T>
Shrunk<T> shrink(std::vector<T> items, QString why,
                 const std::function<std::optional<QString>(const std::vector<T>&)>& fails, int budget) {
    Shrunk<T> out{std::move(items), std::move(why), 0};
    std::size_t pieces = 2;
    while (out.items.size() >= 2 && out.tries < budget) {
        const std::size_t size = out.items.size();
        const std::size_t piece = (size + pieces - 1) / pieces;
        bool shorter = false;
        for (std::size_t start = 0; start < size && out.tries < budget; start += piece) {
            std::vector<T> rest(out.items.begin(), out.items.begin() + static_cast<std::ptrdiff_t>(start));
            rest.insert(rest.end(), out.items.begin() + static_cast<std::ptrdiff_t>(std::min(size, start + piece)),
                        out.items.end());
            ++out.tries;
            if (const std::optional<QString> failed = fails(rest)) {
                out.items = std::move(rest);
                out.why = *failed;
                pieces = std::max<std::size_t>(pieces - 1, 2);
                shorter = true;
                break;
            }
        }
        if (shorter) continue;
        if (pieces >= size) break;
        pieces = std::min(size, pieces * 2);
    }
    return out;
}
