#include <gtest/gtest.h>

#include "qel/qel_units.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    TUnitGuard units;
    return RUN_ALL_TESTS();
}
