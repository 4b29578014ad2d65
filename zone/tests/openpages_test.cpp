#include "zone/tests/manager_fixture.h"
