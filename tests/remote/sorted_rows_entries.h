#pragma once

// Entries for the tests of lists kept in a sort order, and the check that
// a list shows them in that order.

#include "remote/FtpObject.h"
#include "remote/ListOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <numeric>
#include <random>
#include <span>
#include <string>
#include <vector>

struct heldEntries {
    // Files with names in a shuffled order, and a folder every tenth.
    void make(int count, const std::string& prefix = "entry")
    {
        std::vector<int> numbers(static_cast<size_t>(count));
        std::iota(numbers.begin(), numbers.end(), 0);
        std::shuffle(numbers.begin(), numbers.end(), std::mt19937(7));
        for (const int number : numbers) {
            ftpObject& made = all.emplace_back();
            made.name = prefix + std::to_string(number) + (number % 3 ? ".txt" : ".png");
            made.kind = number % 10 == 0 ? ftpObject::Folder : ftpObject::RegularFile;
            made.typeText = number % 3 ? "Plain text document" : "PNG image";
            made.size = number * 37 % 1000;
            made.rights = made.kind == ftpObject::Folder ? "drwxr-xr-x" : "-rw-r--r--";
            made.dateText = "Mar " + std::to_string(number % 28 + 1) + " 2003";
        }
    }

    std::vector<const ftpObject*> from(size_t first = 0) const
    {
        std::vector<const ftpObject*> entries;
        for (size_t at = first; at < all.size(); ++at)
            entries.push_back(&all[at]);
        return entries;
    }

    // `shown` holds every entry but those `gone`, in the order of `key`
    // (entries that compare equal in either order).
    testing::AssertionResult shownInOrder(
        std::span<const ftpObject* const> shown, int key, std::span<const ftpObject* const> gone = {}) const
    {
        for (size_t at = 1; at < shown.size(); ++at) {
            if (listOrder::compare(listOrder::prepare(*shown[at - 1]), listOrder::prepare(*shown[at]), key)
                > 0)
                return testing::AssertionFailure() << "rows " << at - 1 << " and " << at << " out of order";
        }
        std::vector<const ftpObject*> names(shown.begin(), shown.end()), wanted;
        for (const ftpObject& made : all) {
            if (std::find(gone.begin(), gone.end(), &made) == gone.end())
                wanted.push_back(&made);
        }
        std::sort(names.begin(), names.end());
        std::sort(wanted.begin(), wanted.end());
        if (names != wanted)
            return testing::AssertionFailure() << names.size() << " rows shown, " << wanted.size() << " held";
        return testing::AssertionSuccess();
    }

    std::deque<ftpObject> all;
};
