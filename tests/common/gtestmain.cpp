// The GoogleTest programs' main: the user's folders from the environment the suite set, read
// as the program's start-up reads them, then the tests.
#include "settings/userfolders.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    InitUserFolders();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
