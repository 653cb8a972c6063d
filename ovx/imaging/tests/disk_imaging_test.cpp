#include "explorer_fixture.h"
#include "disk_imaging.h"
TEST_F(ExplorerWindow, Placeholder) {}
