#include <gtest/gtest.h>

#include "platform/resources/resources.h"

#if defined(VANTOR_RESOURCES_HAVE_PROFILE)
// Profile round trips are added with the registry component.
#endif
