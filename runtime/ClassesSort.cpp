// TStringList's sort compares as the user's locale does, through the system; kept apart so that
// the rest of Classes builds without it (the native fuzz and sanitizer builds).
#include <algorithm>

#include "Classes.h"
#include "Cp1251.h"

void TStringList::Sort()
{
    std::vector<size_t> order(FItems.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t x, size_t y) { return AnsiCompareText(FItems[x], FItems[y]) < 0; });
    std::vector<std::string> items;
    std::vector<TComponent*> objects;
    for (size_t i : order) {
        items.push_back(FItems[i]);
        objects.push_back(FObjects[i]);
    }
    FItems = std::move(items);
    FObjects = std::move(objects);
}
