#include "support/TestSupport.h"

namespace qmtest {
int TestMain(int argc, char** argv);
}

int main(int argc, char** argv) { return qmtest::TestMain(argc, argv); }
