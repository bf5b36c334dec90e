#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> closed;
void CloseCounted(int handle) { closed.push_back(handle); }
int MinusOne() { return -1; }

using Owner = UniqueResource<int, CloseCounted, MinusOne>;
using SharedOwner = UniqueResource<int, CloseCounted, MinusOne, std::atomic<int>>;

TEST(UniqueResource, ClosesEachHandleExactlyOnceWhereverItsOwnershipGoes)
{
    closed.clear();
    {
        Owner zero(0);  // not "none" for this policy, which takes -1
        Owner moved(std::move(zero));
        EXPECT_FALSE(zero);
        Owner assigned(5);
        assigned = std::move(moved);  // closes 5
        *assigned.Put() = 7;          // closes 0
        EXPECT_EQ(assigned.Release(), 7);
        assigned.Reset(8);
        SharedOwner shared(9);
        shared.Reset();
        EXPECT_FALSE(shared);
    }
    EXPECT_EQ(closed, (std::vector<int>{5, 0, 9, 8}));
}

} // namespace
