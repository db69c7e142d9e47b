// The suite's entry: GoogleTest, then the count as the last line.
#include <stdio.h>

#include "wine_host.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
    printf("%d passed, %d failed\n", run.successful_test_count(), run.failed_test_count());
    return status;
}
